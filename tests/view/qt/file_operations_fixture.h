// Window tests of the file operations: questions and sounds into one log
// shared with a service that records its requests, so their order shows.
#pragma once
#include <QItemSelectionModel>
#include <QStringList>
#include <deque>
#include <span>
#include <string>

#include "fileops/file_operation_service.h"
#include "support/temp_tree.h"
#include "view_fixture.h"

namespace kirvo::test {


constexpr int64_t kOld = 1'300'000'000;
constexpr int64_t kNew = kOld + 7200;

// Questions and sounds into one log shared with the service, so their order shows.
class ScriptedPrompts : public UserPrompts {
public:
    explicit ScriptedPrompts(QStringList& log) : log_(log) {}
    std::deque<bool> answers;  // OK = true; none left: Cancel
    std::deque<ConflictChoice> directions;  // for conflicts; none left: Skip

    bool AskOkCancel(const std::string& text) override {
        log_ << "ask with icon: " + QString::fromStdString(text);
        return Next();
    }
    bool AskOkCancelNoIcon(const std::string& text) override {
        log_ << "ask: " + QString::fromStdString(text);
        return Next();
    }
    void ShowWarning(const std::string& text) override { log_ << "warn: " + QString::fromStdString(text); }
    void Beep(BeepKind kind) override { log_ << (kind == BeepKind::Question ? "beep?" : "beep"); }
    ConflictChoice AskConflictDirection(const std::string& text) override {
        log_ << "which way: " + QString::fromStdString(text);
        if (directions.empty()) return ConflictChoice::Skip;
        const ConflictChoice choice = directions.front();
        directions.pop_front();
        return choice;
    }

private:
    bool Next() {
        if (answers.empty()) return false;
        const bool answer = answers.front();
        answers.pop_front();
        return answer;
    }
    QStringList& log_;
};

// Records every request as one log line; does nothing to the disk.
class RecordingService : public FileOperationService {
public:
    RecordingService(QStringList& log, const std::string& sourceRoot, const std::string& targetRoot)
        : log_(log), q_(sourceRoot + "/"), z_(targetRoot + "/") {}

    // "copy 0x81: Q/a -> Z/a, ..." with the flags as the shell would have had them.
    OperationResult copy(std::span<const CopyPair> pairs, const CopyFlags& flags) override {
        int shellFlags = 0x81 | (flags.confirmOverwrite ? 0 : 0x10) | (flags.confirmFolderCreation ? 0 : 0x200);
        QStringList items;
        for (const CopyPair& pair : pairs) items << Short(pair.from.path) + " -> " + Short(pair.to.path);
        log_ << QStringLiteral("copy 0x%1: ").arg(shellFlags, 0, 16) + items.join(", ");
        return {};
    }
    OperationResult remove(std::span<const ListedPath> files, const DeleteFlags& flags) override {
        QStringList items;
        for (const ListedPath& file : files) items << Short(file.path.path);
        // The shell's flags, FOF_ALLOWUNDO (0x40) for the trash.
        const int shellFlags = (flags.confirmDelete ? 0x80 : 0x90) | (flags.useTrash ? 0x40 : 0);
        log_ << QStringLiteral("delete 0x%1: ").arg(shellFlags, 0, 16) + items.join(", ");
        return {};
    }

private:
    QString Short(const std::string& path) const {
        if (path.rfind(q_, 0) == 0) return "Q/" + QString::fromStdString(path.substr(q_.size()));
        if (path.rfind(z_, 0) == 0) return "Z/" + QString::fromStdString(path.substr(z_.size()));
        return "?" + QString::fromStdString(path);
    }
    QStringList& log_;
    std::string q_, z_;
};

// Two trees compared in a window whose questions and file operations are scripted.
struct Bench {
    TempDir dir;
    QStringList log;
    Window w;
    ScriptedPrompts prompts{log};
    RecordingService service{log, dir / "q", dir / "z"};

    Bench(std::initializer_list<FileSpec> source, std::initializer_list<FileSpec> target) {
        MakeTree(dir / "q", source);
        MakeTree(dir / "z", target);
        w.controller()->setUserPrompts(&prompts);
        w.controller()->setFileOperationService(&service);
        // Every question and sound on; tests turn off what they check.
        for (Option option : {Option::VorUeberschreiben, Option::VorDir, Option::VorLoeschen, Option::Beep}) {
            w.SetOption(option, true);
        }
        Compare();
    }
    void Compare() {
        w.Compare(dir / "q", dir / "z");
        log.clear();
    }
    void Select(std::initializer_list<int> rows) {
        for (int row : rows) {
            QVERIFY(row >= 0);
            w.view()->selectionModel()->select(w.model()->index(row, 0),
                                               QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }
    QList<int> SelectedRows() const {
        QList<int> rows;
        for (int row : w.view()->selectedRows()) rows << row;
        return rows;
    }
    // The list shows the comparison anew: every unequal row marked again.
    bool AllUnequalMarked() const {
        for (int row = 0; row < w.rowCount(); ++row) {
            if (w.State(row) == ResultRows::kUnmarked) return false;
        }
        return true;
    }
};

}  // namespace kirvo::test
