#include "cli/verify_output.h"

#include <ctime>

#include "cli/json_stream.h"
#include "cli/json_text.h"
#include "engine/tree_matcher.h"
#include "fileops/terminal_text.h"
#include "fileops/tsv_field.h"
#include "platform/translation.h"
#include "view/value_format.h"

namespace kirvo {
namespace {

const char* StateText(VerifyState state) {
    switch (state) {
    case VerifyState::Equal: return Tr("gleich");
    case VerifyState::Unreadable: return Tr("nicht lesbar");
    case VerifyState::Damaged: return Tr("beschädigt?");
    case VerifyState::Different: return Tr("verschieden");
    case VerifyState::OneSide: return Tr("nur auf einer Seite");
    }
    return "";
}

const char* StateName(VerifyState state) {
    switch (state) {
    case VerifyState::Equal: return "equal";
    case VerifyState::Unreadable: return "unreadable";
    case VerifyState::Damaged: return "damaged";
    case VerifyState::Different: return "different";
    case VerifyState::OneSide: return "one-side";
    }
    return "";
}

std::string IsoTime(int64_t seconds) {
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&t, &local);
    return JsonIsoTime(seconds + local.tm_gmtoff, 0, local.tm_gmtoff);
}

}  // namespace

void WriteDamageNotes(const VerifyResult& result, std::ostream& err) {
    for (const VerifiedPath& p : result.paths) {
        if (p.state == VerifyState::Damaged)
            err << Tr("kirvo-cli verify: ") << Tr("beschädigt? ") << DisplayEscaped(p.path) << " (" << DamageText(p)
                << ")\n";
        else if (p.state == VerifyState::Unreadable)
            err << Tr("kirvo-cli verify: ") << Format(Tr("nicht lesbar: %s – %s"), DisplayEscaped(p.path),
                                                      DisplayEscaped(p.reason))
                << '\n';
    }
}

std::ostream& WriteVerifyText(const VerifyResult& result, const TreeMatcher& matcher, std::ostream& out) {
    out << Tr("Quelle: ") << DisplayEscaped(matcher.sourceRoot()) << '\n'
        << Tr("Ziel:   ") << DisplayEscaped(matcher.targetRoot()) << '\n';
    for (const VerifiedPath& p : result.paths) {
        if (p.state == VerifyState::Equal || p.state == VerifyState::OneSide) continue;
        out << StateText(p.state) << "  " << DisplayEscaped(p.path);
        if (p.state == VerifyState::Damaged) out << " (" << DamageText(p) << ')';
        if (p.state == VerifyState::Unreadable) out << ": " << DisplayEscaped(p.reason);
        out << '\n';
    }
    return out;
}

void WriteVerifyTsv(const VerifyResult& result, std::ostream& out) {
    std::string line;
    for (const VerifiedPath& p : result.paths) {
        line = std::to_string(static_cast<int>(p.state)) + '\t';
        AppendTsvEscaped(line, p.path);
        for (int i = 0; i < 2; ++i) line += '\t' + (p.present[i] && p.state != VerifyState::Unreadable ? p.hash[i].text() : std::string());
        const int damaged = (p.damaged[0] ? 1 : 0) | (p.damaged[1] ? 2 : 0);
        line += '\t' + std::to_string(damaged) + '\t';
        if (damaged != 0) line += std::to_string(p.damaged[0] ? p.goodSince[0] : p.goodSince[1]);
        line += '\n';
        out << line;
    }
}

void WriteVerifyJson(const VerifyResult& result, const TreeMatcher& matcher, std::ostream& out) {
    using Json = JsonStream::Json;
    JsonStream json(out);
    Json roots = Json::object();
    PutJsonText(roots, "source", matcher.sourceRoot());
    PutJsonText(roots, "target", matcher.targetRoot());
    json.Field("roots", roots);
    json.BeginArray("files");
    for (const VerifiedPath& p : result.paths) {
        Json file = Json::object();
        PutJsonText(file, "path", p.path);
        file["state"] = StateName(p.state);
        file["stateNumber"] = static_cast<int>(p.state);
        for (int i = 0; i < 2; ++i) {
            Json side = Json::object();
            side["present"] = p.present[i];
            if (p.present[i] && p.state != VerifyState::Unreadable) side["hash"] = p.hash[i].text();
            side["damaged"] = p.damaged[i];
            if (p.damaged[i]) side["lastGood"] = IsoTime(p.goodSince[i]);
            file[i == 0 ? "source" : "target"] = side;
        }
        if (!p.reason.empty()) PutJsonText(file, "reason", p.reason);
        json.Element(file);
    }
    json.EndArray();
    Json counts = Json::object();
    for (const VerifyState s : {VerifyState::Equal, VerifyState::Different, VerifyState::Damaged,
                                VerifyState::Unreadable, VerifyState::OneSide})
        counts[StateName(s)] = result.count(s);
    json.Field("counts", counts);
    json.Field("bytesRead", result.bytesRead);
    json.End();
}

}  // namespace kirvo
