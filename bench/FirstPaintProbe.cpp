// Starts the installer's window as the program does and reports how long after the process
// was spawned the window had painted for the first time. The parent passes the moment of the
// spawn (steady clock, nanoseconds) in VORNAK_SPAWN_NS, so loading the program and its
// libraries counts as well.
//
//   vornak-firstpaint APPDIR    prints first_paint_ms=<ms>

#include "wizard/qt/WizardProgram.h"

#include <QApplication>
#include <QEvent>
#include <QTimer>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

std::int64_t NowNs()
{
    return std::chrono::duration_cast<std::chrono::nanoseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Sees the window's first paint; once that event has been handled and the event loop is
// back, every child has painted too, and the time is taken.
class FirstPaintWatch : public QObject {
public:
    FirstPaintWatch(QWidget& window, std::int64_t spawnNs) : window_(window), spawnNs_(spawnNs) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (!seen_ && watched == &window_ && event->type() == QEvent::Paint) {
            seen_ = true;
            QTimer::singleShot(0, [this] {
                std::printf("first_paint_ms=%.3f\n", static_cast<double>(NowNs() - spawnNs_) / 1e6);
                std::fflush(stdout);
                QCoreApplication::exit(0);
            });
        }
        return false;
    }

private:
    QWidget& window_;
    std::int64_t spawnNs_;
    bool seen_ = false;
};

} // namespace

int main(int argc, char** argv)
{
    const char* spawn = std::getenv("VORNAK_SPAWN_NS");
    if (argc != 2 || !spawn) {
        std::fprintf(stderr, "usage: VORNAK_SPAWN_NS=<steady clock ns> vornak-firstpaint APPDIR\n");
        return 64;
    }
    const std::int64_t spawnNs = std::stoll(spawn);
    // Without its list file the window would stop at a message box and wait for a click.
    if (!std::filesystem::is_regular_file(std::filesystem::path(argv[1]) / "Data" / "listw3m.txt")) {
        std::fprintf(stderr, "%s/Data/listw3m.txt is missing\n", argv[1]);
        return 1;
    }

    // The same start-up as the program's own main().
    QApplication app(argc, argv);
    vornak::wizard::WizardProgram program{std::filesystem::path(argv[1])};
    vornak::wizard::Form1& window = program.window();
    if (!window.Load())
        return 1;
    FirstPaintWatch watch(window, spawnNs);
    window.installEventFilter(&watch);
    window.show();
    return app.exec();
}
