#pragma once
#include <cstdint>

namespace kirvo {

// Our temporary files on POSIX: a name of TemporaryName's form, an exclusive
// lock held by the copy that writes it, and, where the file system keeps
// extended attributes, the marker attribute "user.kirvo.tmp". Only a file with
// all of these (the marker where it can exist) is ever taken for ours, and,
// without the marker, the old version a replace killed at the wrong moment
// left under such a name while it has a second name (in the trash): removing
// that name loses nothing. Any other file, whatever its name, is the user's.
class OwnTemporaryFile {
public:
    static constexpr const char* kMarker = "user.kirvo.tmp";

    // Creates the temporary file for `name` in the folder `folderFd`: a new
    // random name each try, O_EXCL, never replacing anything. Locks and marks
    // it. Returns the descriptor, or -1 with errno; `created` gets the name.
    static int Create(int folderFd, const char* name, char* created, unsigned createdSize);

    // A file without a name in the folder `folderFd` (where the file system
    // can make one), created with `mode` (less the creation mask): a run
    // killed before it is named leaves nothing behind. -1 with errno otherwise.
    static int CreateUnnamed(int folderFd, unsigned mode);
    // Names such a file `name`, never replacing anything: EEXIST where the name is taken.
    static int Name(int fd, int folderFd, const char* name);
    // Names such a file with a temporary name for `name`, locked and marked as
    // ours first (it is to trade places with an existing file).
    static int NameTemporary(int fd, int folderFd, const char* name, char* created, unsigned createdSize);

    // Takes the marker off (after the file got its final name). Errors are of no
    // consequence: without our name form the marker alone means nothing.
    static void Unmark(int fd);

    // Whether `name` in `folderFd` is one of our temporary files (see above).
    static bool IsOurs(int folderFd, const char* name);

    // Removes the temporary files of ours in `folderFd` that no running copy
    // holds (left by a run that was killed). Returns how many went.
    static int RemoveStale(int folderFd);

    static uint64_t RandomNumber();
};

}  // namespace kirvo
