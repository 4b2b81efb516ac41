#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/job.h"

namespace kirvo {

// The text of a job file: one setting per line, "key = value", with the
// blanks around key and value ignored; lines starting with # and blank lines
// are comments. A list (include, exclude, filter-from) repeats its key once
// per value. A value with blanks at either end, a control character or a
// leading double quote is written in double quotes, with \\ \" \n \r \t and
// \xNN inside; every other value stands as it is, whatever its bytes.
//
//   # Kirvo-Auftrag "dokumente"
//   source = /home/anna/Dokumente
//   target = /media/anna/STICK/Dokumente
//   mode = update
//   exclude = *.tmp
//   exclude = .git/
//
// The format is plain on purpose: a person reads and edits it with any
// editor, and a few lines need no parser beyond this one.
class JobFile {
public:
    // Reads the text of the job `name`. False with a German message naming
    // the line for an invalid value, a repeated setting or a line that is no
    // entry, or naming a missing source or target. Entries this version does
    // not know go into job.unknown, with a warning each.
    static bool Parse(std::string_view text, std::string_view name, Job& job, std::string& error,
                      std::vector<std::string>& warnings);

    // The text of `job`. Given the text the file holds now (one that Parse
    // accepts), its comments, blank lines and unknown entries stay where they
    // are and each setting takes the place of its first line there; settings
    // it lacks follow at the end. Without one, a short header, every setting
    // and then job.unknown.
    static std::string Write(const Job& job, std::string_view previous = {});
};

}  // namespace kirvo
