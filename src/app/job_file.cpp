#include "app/job_file.h"

#include <algorithm>
#include <set>

#include "engine/path_pattern.h"
#include "platform/root.h"
#include "platform/translation.h"
#include "sync/delete_limit.h"

namespace kirvo {
namespace {

// One setting of the file: its key, whether it repeats, how a value is read
// into a job (false with the reason) and which values a job writes.
struct Setting {
    std::string_view key;
    bool list;
    bool (*read)(Job& job, const std::string& value, std::string& reason);
    std::vector<std::string> (*write)(const Job& job);
};

std::string_view Trim(std::string_view text) {
    const size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos) return {};
    return text.substr(start, text.find_last_not_of(" \t") - start + 1);
}

bool ReadBool(const std::string& value, bool& flag, std::string& reason) {
    if (value == "yes" || value == "true" || value == "on") {
        flag = true;
    } else if (value == "no" || value == "false" || value == "off") {
        flag = false;
    } else {
        reason = Tr("erlaubt sind yes und no");
        return false;
    }
    return true;
}

std::vector<std::string> Bool(bool flag) { return {flag ? "yes" : "no"}; }

bool ReadRoot(std::string& root, const std::string& value, std::string& reason) {
    const std::optional<Root> parsed = Root::Parse(value, &reason);
    if (!parsed && !value.empty()) return false;  // an address that is no valid one: `reason` says why
    if (!(parsed && parsed->remote()) && (value.empty() || value.front() != '/')) {
        reason = Tr("erwartet wird ein absoluter Pfad oder sftp://RECHNER/PFAD");
        return false;
    }
    root = value;
    return true;
}

bool ReadAbsolute(std::string& path, const std::string& value, std::string& reason) {
    if (value.empty() || value.front() != '/') {
        reason = Tr("erwartet wird ein absoluter Pfad");
        return false;
    }
    path = value;
    return true;
}

bool ReadPattern(std::vector<std::string>& list, const std::string& value, std::string& reason) {
    PathPattern pattern;
    if (!PathPattern::Compile(value, pattern, reason)) return false;
    list.push_back(value);
    return true;
}

const Setting kSettings[] = {
    {"source", false, [](Job& j, const std::string& v, std::string& r) { return ReadRoot(j.source, v, r); },
     [](const Job& j) { return std::vector<std::string>{j.source}; }},
    {"target", false, [](Job& j, const std::string& v, std::string& r) { return ReadRoot(j.target, v, r); },
     [](const Job& j) { return std::vector<std::string>{j.target}; }},
    {"mode", false, [](Job& j, const std::string& v, std::string& r) { return ParseSyncMode(v, j.mode, r); },
     [](const Job& j) { return std::vector<std::string>{std::string(SyncModeName(j.mode))}; }},
    {"direction", false,
     [](Job& j, const std::string& v, std::string& r) {
         if (Job::ParseDirection(v, j.direction)) return true;
         r = Tr("erlaubt sind both, to-target und to-source");
         return false;
     },
     [](const Job& j) { return std::vector<std::string>{std::string(Job::DirectionName(j.direction))}; }},
    {"compare", false,
     [](Job& j, const std::string& v, std::string& r) {
         if (CompareByFromName(v, j.compareBy)) return true;
         r = Tr("erlaubt sind time, time-size und content");
         return false;
     },
     [](const Job& j) { return std::vector<std::string>{CompareByName(j.compareBy)}; }},
    {"links", false,
     [](Job& j, const std::string& v, std::string& r) {
         if (ParseLinkMode(v, j.links)) return true;
         r = Tr("erlaubt sind follow, copy und skip");
         return false;
     },
     [](const Job& j) { return std::vector<std::string>{std::string(LinkModeName(j.links))}; }},
    {"ignore-hour", false, [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.ignoreHour, r); },
     [](const Job& j) { return Bool(j.ignoreHour); }},
    {"tolerance", false,
     [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.twoSecondTolerance, r); },
     [](const Job& j) { return Bool(j.twoSecondTolerance); }},
    {"exclude-subfolders", false,
     [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.excludeSubFolders, r); },
     [](const Job& j) { return Bool(j.excludeSubFolders); }},
    {"exclude-system-folders", false,
     [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.excludeSystemFolders, r); },
     [](const Job& j) { return Bool(j.excludeSystemFolders); }},
    {"parallel", false,
     [](Job& j, const std::string& v, std::string& r) {
         const bool digits = !v.empty() && v.size() <= 4 && std::all_of(v.begin(), v.end(), [](char c) {
             return c >= '0' && c <= '9';
         });
         if (!digits || std::stoi(v) > 1024) {
             r = Tr("erlaubt ist eine Zahl von 0 (automatisch) bis 1024");
             return false;
         }
         j.parallel = std::stoi(v);
         return true;
     },
     [](const Job& j) { return std::vector<std::string>{std::to_string(j.parallel)}; }},
    {"include", true, [](Job& j, const std::string& v, std::string& r) { return ReadPattern(j.include, v, r); },
     [](const Job& j) { return j.include; }},
    {"exclude", true, [](Job& j, const std::string& v, std::string& r) { return ReadPattern(j.exclude, v, r); },
     [](const Job& j) { return j.exclude; }},
    {"filter-from", true,
     [](Job& j, const std::string& v, std::string& r) {
         std::string path;
         if (!ReadAbsolute(path, v, r)) return false;
         j.filterFrom.push_back(path);
         return true;
     },
     [](const Job& j) { return j.filterFrom; }},
    {"trash", false, [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.useTrash, r); },
     [](const Job& j) { return Bool(j.useTrash); }},
    {"log", false, [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.useLog, r); },
     [](const Job& j) { return Bool(j.useLog); }},
    // Off unless set: files written before the key was known read the same.
    {"verify", false, [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.verify, r); },
     [](const Job& j) { return j.verify ? Bool(true) : std::vector<std::string>{}; }},
    {"accept-new-host-key", false,
     [](Job& j, const std::string& v, std::string& r) { return ReadBool(v, j.acceptNewHostKey, r); },
     [](const Job& j) { return Bool(j.acceptNewHostKey); }},
    {"every", false,
     [](Job& j, const std::string& v, std::string& r) {
         if (v.empty()) {
             r = Tr("erwartet wird hourly, daily, weekly oder ein Kalenderausdruck von systemd");
             return false;
         }
         j.every = v;
         return true;
     },
     [](const Job& j) { return j.every.empty() ? std::vector<std::string>{} : std::vector<std::string>{j.every}; }},
    {"max-delete", false,
     [](Job& j, const std::string& v, std::string& r) {
         if (!DeleteLimit::Parse(v, &r)) return false;
         j.maxDelete = v;
         return true;
     },
     [](const Job& j) { return j.maxDelete.empty() ? std::vector<std::string>{} : std::vector<std::string>{j.maxDelete}; }},
    {"when-mounted", false,
     [](Job& j, const std::string& v, std::string& r) { return ReadAbsolute(j.whenMounted, v, r); },
     [](const Job& j) {
         return j.whenMounted.empty() ? std::vector<std::string>{} : std::vector<std::string>{j.whenMounted};
     }},
};

const Setting* FindSetting(std::string_view key) {
    for (const Setting& setting : kSettings)
        if (setting.key == key) return &setting;
    return nullptr;
}

bool NeedsQuotes(std::string_view value) {
    if (value.empty()) return false;
    if (value.front() == '"' || value.front() == ' ' || value.front() == '\t' || value.back() == ' ' ||
        value.back() == '\t')
        return true;
    return std::any_of(value.begin(), value.end(), [](char c) { return static_cast<unsigned char>(c) < 0x20; });
}

std::string Quoted(std::string_view value) {
    static const char kHex[] = "0123456789abcdef";
    std::string text = "\"";
    for (char c : value) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '\\' || c == '"') {
            text += '\\';
            text += c;
        } else if (c == '\n') {
            text += "\\n";
        } else if (c == '\r') {
            text += "\\r";
        } else if (c == '\t') {
            text += "\\t";
        } else if (byte < 0x20) {
            text += "\\x";
            text += kHex[byte >> 4];
            text += kHex[byte & 15];
        } else {
            text += c;
        }
    }
    return text + "\"";
}

int HexDigit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool Unquoted(std::string_view quoted, std::string& value, std::string& reason) {
    if (quoted.size() < 2 || quoted.back() != '"') {
        reason = Tr("das schließende \" fehlt");
        return false;
    }
    value.clear();
    const std::string_view inner = quoted.substr(1, quoted.size() - 2);
    for (size_t i = 0; i < inner.size(); ++i) {
        if (inner[i] == '"') {
            reason = Tr("ein \" in Anführungszeichen braucht ein \\ davor");
            return false;
        }
        if (inner[i] != '\\') {
            value += inner[i];
            continue;
        }
        const char next = i + 1 < inner.size() ? inner[++i] : '\0';
        if (next == '\\' || next == '"') {
            value += next;
        } else if (next == 'n') {
            value += '\n';
        } else if (next == 'r') {
            value += '\r';
        } else if (next == 't') {
            value += '\t';
        } else if (next == 'x' && i + 2 < inner.size() && HexDigit(inner[i + 1]) >= 0 && HexDigit(inner[i + 2]) >= 0) {
            value += static_cast<char>(HexDigit(inner[i + 1]) * 16 + HexDigit(inner[i + 2]));
            i += 2;
        } else {
            reason = Tr("unbekannte Schreibweise mit \\ in Anführungszeichen");
            return false;
        }
    }
    return true;
}

std::string Line(std::string_view key, std::string_view value) {
    return std::string(key) + " = " + (NeedsQuotes(value) ? Quoted(value) : std::string(value)) + "\n";
}

void AppendSetting(std::string& text, const Setting& setting, const Job& job) {
    for (const std::string& value : setting.write(job)) text += Line(setting.key, value);
}

// One line of the file: a comment (or blank), or an entry.
struct FileLine {
    std::string_view raw;  // without its line end
    bool entry = false;
    std::string key;
    std::string value;
};

// Splits text into lines; false with the reason and the line number for a
// line that is neither a comment nor an entry.
bool SplitLines(std::string_view text, std::vector<FileLine>& lines, std::string& reason, size_t& failedLine) {
    for (size_t number = 1; !text.empty(); ++number) {
        const size_t end = text.find('\n');
        FileLine line;
        line.raw = text.substr(0, end);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
        std::string_view content = line.raw;
        if (!content.empty() && content.back() == '\r') content.remove_suffix(1);
        content = Trim(content);
        if (!content.empty() && content.front() != '#') {
            const size_t equals = content.find('=');
            line.key = std::string(Trim(content.substr(0, equals)));
            if (equals == std::string_view::npos || line.key.empty()) {
                reason = "\"" + std::string(content) + Tr("\" ist kein Eintrag; erwartet wird SCHLÜSSEL = WERT");
                failedLine = number;
                return false;
            }
            const std::string_view value = Trim(content.substr(equals + 1));
            if (!value.empty() && value.front() == '"') {
                if (!Unquoted(value, line.value, reason)) {
                    failedLine = number;
                    return false;
                }
            } else {
                line.value = std::string(value);
            }
            line.entry = true;
        }
        lines.push_back(std::move(line));
    }
    return true;
}

}  // namespace

bool JobFile::Parse(std::string_view text, std::string_view name, Job& job, std::string& error,
                    std::vector<std::string>& warnings) {
    const std::string where = Tr("Auftrag \"") + std::string(name) + "\"";
    std::vector<FileLine> lines;
    std::string reason;
    size_t failedLine = 0;
    if (!SplitLines(text, lines, reason, failedLine)) {
        error = where + Tr(", Zeile ") + std::to_string(failedLine) + ": " + reason + ".";
        return false;
    }
    Job read;
    read.name = std::string(name);
    std::vector<std::pair<std::string_view, size_t>> seen;  // scalar settings and their lines
    for (size_t i = 0; i < lines.size(); ++i) {
        const FileLine& line = lines[i];
        if (!line.entry) continue;
        const std::string at = where + Tr(", Zeile ") + std::to_string(i + 1) + ": ";
        const Setting* setting = FindSetting(line.key);
        if (setting == nullptr) {
            read.unknown.emplace_back(line.key, line.value);
            warnings.push_back(at + Tr("unbekannter Eintrag \"") + line.key +
                               Tr("\"; er bleibt in der Datei, gilt aber nicht."));
            continue;
        }
        if (!setting->list) {
            const auto earlier = std::find_if(seen.begin(), seen.end(), [&](const auto& s) { return s.first == setting->key; });
            if (earlier != seen.end()) {
                error = at + "\"" + line.key + Tr("\" steht schon in Zeile ") + std::to_string(earlier->second) + ".";
                return false;
            }
            seen.emplace_back(setting->key, i + 1);
        }
        if (!setting->read(read, line.value, reason)) {
            error = at + Tr("ungültiger Wert \"") + line.value + Tr("\" für ") + line.key + ": " + reason + ".";
            return false;
        }
    }
    for (const char* required : {"source", "target"}) {
        if (std::none_of(seen.begin(), seen.end(), [&](const auto& s) { return s.first == required; })) {
            error = where + Format(Tr(": es fehlt der Eintrag \"%s = ...\"."), required);
            return false;
        }
    }
    job = std::move(read);
    return true;
}

std::string JobFile::Write(const Job& job, std::string_view previous) {
    std::string text;
    std::set<std::string_view> written;
    std::vector<FileLine> lines;
    std::string reason;
    size_t failedLine = 0;
    const bool kept = !previous.empty() && SplitLines(previous, lines, reason, failedLine);
    if (kept) {
        for (const FileLine& line : lines) {
            const Setting* setting = line.entry ? FindSetting(line.key) : nullptr;
            if (setting == nullptr) {
                text.append(line.raw).append("\n");  // comments and unknown entries stay as they were
            } else if (written.insert(setting->key).second) {
                AppendSetting(text, *setting, job);
            }
        }
    } else {
        text = "# Kirvo-Auftrag \"" + job.name + "\": je Zeile eine Einstellung, SCHLÜSSEL = WERT.\n"
               "# Ausführen mit: kirvo-cli run " + job.name + "   (mehr dazu: man kirvo-cli, AUFTRÄGE)\n";
    }
    for (const Setting& setting : kSettings)
        if (!written.count(setting.key)) AppendSetting(text, setting, job);
    if (!kept)
        for (const auto& [key, value] : job.unknown) text += Line(key, value);
    return text;
}

}  // namespace kirvo
