// The result list at scale, offscreen in the real window: filling and first
// painting N pairs, scrolling to the end, and one mark click with its
// statistics. Usage: kirvo-list-bench [N]  or  kirvo-list-bench QUELLE ZIEL
#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QScrollBar>
#include <cstdio>
#include <ctime>
#include <deque>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "app/in_memory_profile_store.h"
#include "app/qt/kirvo_app.h"
#include "app/qt/main_frame.h"
#include "app/qt/output_bar.h"
#include "app/qt/path_bar.h"
#include "app/user_prompts.h"
#include "app/qt/window_controller.h"
#include "view/qt/kirvo_view.h"
#include "view/qt/result_list_model.h"

namespace kirvo {
namespace {

struct Timing {
    QElapsedTimer wall;
    std::clock_t cpu = std::clock();
    Timing() { wall.start(); }
    void Print(const char* what) const {
        std::printf("%-44s %8.1f ms wall %8.1f ms processor\n", what, static_cast<double>(wall.nsecsElapsed()) / 1e6,
                    1000.0 * static_cast<double>(std::clock() - cpu) / CLOCKS_PER_SEC);
    }
};

long ResidentKilobytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line))
        if (line.rfind("VmRSS:", 0) == 0) return std::stol(line.substr(6));
    return 0;
}

class Silent : public UserPrompts {
public:
    bool AskOkCancel(const std::string&) override { return true; }
    void ShowWarning(const std::string&) override {}
    void Beep(BeepKind) override {}
};

// Pairs laid out as the engine leaves them (see rows_bench.cpp).
struct SyntheticPairs {
    std::deque<std::string> folders;
    std::vector<FileEntry> entries;
    std::vector<FilePair> pairs;
    std::string sourceRoot = "/quelle/", targetRoot = "/ziel/";

    explicit SyntheticPairs(int count) {
        const int perFolder = 1000;
        const int folderCount = std::max(1, count / perFolder);
        for (int f = 0; f < folderCount; ++f) folders.push_back("ordner" + std::to_string(f) + "/");
        entries.reserve(2u * static_cast<size_t>(folderCount) * perFolder);
        for (int side = kSourceSide; side <= kTargetSide; ++side)
            for (int f = 0; f < folderCount; ++f)
                for (int i = 0; i < perFolder; ++i)
                    entries.emplace_back(f, side, &folders[static_cast<size_t>(f)], "datei-mit-namen.txt",
                                         static_cast<uint64_t>(i) * 1000 + 7, 1'300'000'000 + i, 0);
        std::mt19937 random(42);
        std::vector<size_t> order(perFolder);
        const size_t half = static_cast<size_t>(folderCount) * perFolder;
        for (int f = 0; f < folderCount; ++f) {
            for (size_t i = 0; i < order.size(); ++i) order[i] = i;
            std::shuffle(order.begin(), order.end(), random);
            for (int i = 0; i < perFolder; ++i) {
                const size_t k = static_cast<size_t>(f) * perFolder + order[static_cast<size_t>(i)];
                const int verdict = i % 3 - 1;
                pairs.push_back({.verdict = kirvo::VerdictFromDirection(verdict),
                                 .source = verdict == -1 && i % 2 ? nullptr : &entries[k],
                                 .target = verdict == 1 && i % 2 ? nullptr : &entries[k + half]});
            }
        }
    }
};

void Press(CKirvoView& view, QPoint at, quint64 time) {
    QWidget* viewport = view.viewport();
    QMouseEvent press(QEvent::MouseButtonPress, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    press.setTimestamp(time);
    QApplication::sendEvent(viewport, &press);
    QMouseEvent release(QEvent::MouseButtonRelease, at, viewport->mapToGlobal(at), Qt::LeftButton, Qt::NoButton, {});
    release.setTimestamp(time + 10);
    QApplication::sendEvent(viewport, &release);
}

int Run(const QStringList& args) {
    CKirvoApp::InitResources();
    InMemoryProfileStore store;
    Silent prompts;
    CMainFrame frame(store);
    CKirvoView& view = *frame.view();
    WindowController& controller = *frame.controller();
    controller.setUserPrompts(&prompts);
    controller.options().set(Option::Ueber5000, 0);
    controller.options().set(Option::Beep, 0);
    controller.OnCommand(CommandId::FilterAll);
    frame.resize(1200, 800);
    frame.show();
    QApplication::processEvents();

    std::unique_ptr<SyntheticPairs> synthetic;
    if (args.size() < 2) synthetic = std::make_unique<SyntheticPairs>(args.isEmpty() ? 1'000'000 : args[0].toInt());
    const long before = ResidentKilobytes();
    if (args.size() >= 2) {
        frame.pathBar()->setText(PathBar::Side::Source, args[0]);
        frame.pathBar()->setText(PathBar::Side::Target, args[1]);
        Timing t;
        controller.OnPfadeVergleichen();
        while (controller.comparing()) QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        view.viewport()->repaint();
        t.Print("compare, fill and first paint");
    } else {
        Timing t;
        view.FillFrom(synthetic->pairs, synthetic->sourceRoot, synthetic->targetRoot, controller.displayFilter());
        t.Print("fill");
        Timing paint;
        view.viewport()->repaint();
        paint.Print("first paint");
        t.Print("fill and first paint");
    }
    std::printf("%d pairs, %d rows, memory of the list (rows and view) about %ld KB\n",
                static_cast<int>(view.rows().pairs().size()), view.rowCount(), ResidentKilobytes() - before);
    {
        Timing t;
        view.verticalScrollBar()->setValue(view.verticalScrollBar()->maximum());
        view.viewport()->repaint();
        t.Print("scroll to the end and paint");
    }
    {
        view.verticalScrollBar()->setValue(0);
        view.viewport()->repaint();
        const int y = view.visualRect(view.model()->index(1, 0)).center().y();
        Timing t;
        Press(view, QPoint(view.stateImageLeft() + 8, y), 1'000'000);
        view.viewport()->repaint();
        t.Print("mark click with statistics and paint");
        std::printf("1011: %s\n", qPrintable(frame.outputBar()->fieldText(OutputBar::kSourceSelection)));
    }
    {
        Timing t;
        if (synthetic) {
            // The held pairs are the synthetic ones: rebuild from them under the new filter.
            controller.OnCommand(CommandId::FilterUnequal);
            view.FillFrom(synthetic->pairs, synthetic->sourceRoot, synthetic->targetRoot, controller.displayFilter());
        } else {
            controller.OnCommand(CommandId::FilterUnequal);
        }
        view.viewport()->repaint();
        t.Print("filter change (rebuild) and paint");
    }
    {
        Timing t;
        view.resultModel()->Clear();
        view.viewport()->repaint();
        t.Print("empty the list");
    }
    return 0;
}

}  // namespace
}  // namespace kirvo

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QStringList args = QApplication::arguments();
    args.removeFirst();
    return kirvo::Run(args);
}
