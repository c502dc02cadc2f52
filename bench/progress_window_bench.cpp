// The progress window shown and closed again and again, as auto refresh does
// twice a reading: the heap in use every few hundred showings, for the window
// as the program has it (it gives its native window back once hidden) side
// by side with one that keeps its native window, as it did before.
//
// Runs on the platform QT_QPA_PLATFORM names, offscreen when it is not set;
// under Xvfb with a window manager: QT_QPA_PLATFORM=xcb.
//
// --activate makes the window the active one each time it is shown, as a
// window manager that gives new windows the focus does (or an operator's
// click on it).
//
//   progress_window_bench [showings] [--every N] [--activate]

#include <QApplication>
#include <QElapsedTimer>
#include <QWidget>

#include <algorithm>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/windows/UProgressBar.h"
#include "support/HeapInUse.h"

namespace {

// The window as it was: hidden, it keeps its native window.
class KeptNativeWindow final : public zir::TFProgressBar {
public:
    using zir::TFProgressBar::TFProgressBar;

protected:
    void hideEvent(QHideEvent* event) override { QWidget::hideEvent(event); }
};

void Wait(int ms) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < ms) QApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The heap in use (kB) before the first showing and after every `every`.
template <typename Window>
std::vector<long> Showings(QWidget& owner, int showings, int every, bool activate) {
    Window window(&owner);
    std::vector<long> heapKb;
    for (int i = 0; i <= showings; ++i) {
        if (i % every == 0) heapKb.push_back(static_cast<long>(zir::test::HeapInUse() / 1024));
        if (i == showings) break;
        window.Gauge->SetProgress(i % 100);
        window.ShowOver(&owner);
        if (activate) window.activateWindow();
        Wait(15); // the window system shows and paints it
        window.close();
        Wait(15);
    }
    return heapKb;
}

void Print(const char* name, const std::vector<long>& heapKb, int every) {
    long low = heapKb.at(1), high = heapKb.at(1);
    for (std::size_t i = 1; i < heapKb.size(); ++i) {
        low = std::min(low, heapKb[i]);
        high = std::max(high, heapKb[i]);
    }
    std::printf("%s\n  heap in use every %d showings (kB):", name, every);
    for (long kb : heapKb) std::printf(" %ld", kb);
    std::printf("\n  after the first %d: lowest %ld kB, highest %ld kB, at the end %+ld kB\n", every, low, high,
                heapKb.back() - heapKb.at(1));
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int showings = 2000, every = 200;
    bool activate = false;
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--activate")
            activate = true;
        else if (arg == "--every" && i + 1 < argc)
            every = std::max(1, std::atoi(argv[++i]));
        else
            showings = std::max(1, std::atoi(argv[i]));
    }
    QWidget owner;
    owner.setGeometry(200, 200, 800, 600);
    owner.show();
    Wait(500);
    std::printf("progress window shown%s and closed %d times on %s\n", activate ? ", made active" : "", showings,
                qPrintable(QApplication::platformName()));
    Print("kept native window (before)", Showings<KeptNativeWindow>(owner, showings, every, activate), every);
    Print("native window given back once hidden (the program)",
          Showings<zir::TFProgressBar>(owner, showings, every, activate), every);
    return 0;
}
