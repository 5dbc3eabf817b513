// Pictures of the strip as the X server shows it, for comparing two builds pixel by pixel: the
// real strip window with a fixed text (Latin, Vietnamese, Chinese, emoji and a long quote) at
// fixed moments of a hand-driven clock, on a light and a dark panel colour, and transparent
// where a compositing manager runs. The same source builds against older trees, where the frames
// come from the view's own painting.
//
//   sayvane_strip_pictures OUT_DIR          (on an X server; QT_SCALE_FACTOR=2 for ratio 2)
//   sayvane_strip_pictures --compare A B    (prints the pictures that differ, and how much)
#include "MarqueeView.h"
#include "StatusItem.h"
#include "TestSupport.h"
#include "TextColors.h"

#if __has_include("StripPresenter.h")
#include "StripPresenter.h"
#endif

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QLayout>
#include <QWidget>

#include <xcb/xcb.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <vector>

using namespace Qt::StringLiterals;

namespace {

const QStringList segments = {
    u"Quote 17: never give up; Đừng bao giờ từ bỏ; 千里之行 始于足下"_s,
    u"  🌟  "_s,
    u"A long quote that keeps going well past the width of the strip, so that a frame is all "
    "of one quote: the journey of a thousand miles begins with one step, and so does every "
    "other journey, however long it turns out to be in the end."_s,
    u"  ☀️  "_s,
    u"Short"_s,
    u"  🚀  "_s,
};

void wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

// The window's pixels as the X server has them.
QImage grab(QWidget* window) {
    auto* x11 = qGuiApp->nativeInterface<QNativeInterface::QX11Application>();
    xcb_connection_t* connection = x11->connection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    auto* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    auto* image = xcb_get_image_reply(connection,
                                      xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0,
                                                    geometry->width, geometry->height, ~0u),
                                      nullptr);
    QImage picture(geometry->width, geometry->height,
                   geometry->depth == 32 ? QImage::Format_ARGB32_Premultiplied
                                         : QImage::Format_RGB32);
    const auto* data = xcb_get_image_data(image);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(picture.scanLine(y), data + y * geometry->width * 4,
                    static_cast<size_t>(geometry->width) * 4);
    std::free(image);
    std::free(geometry);
    return picture;
}

// Owns the compositing manager's selection, as a compositing manager does, so that the strip
// takes a translucent window.
void claimCompositing() {
    xcb_connection_t* connection = xcb_connect(nullptr, nullptr);
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(connection)).data;
    const xcb_window_t owner = xcb_generate_id(connection);
    xcb_create_window(connection, XCB_COPY_FROM_PARENT, owner, screen->root, 0, 0, 1, 1, 0,
                      XCB_WINDOW_CLASS_INPUT_ONLY, XCB_COPY_FROM_PARENT, 0, nullptr);
    const char name[] = "_NET_WM_CM_S0";
    auto* atom = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, sizeof name - 1, name), nullptr);
    xcb_set_selection_owner(connection, owner, atom->atom, XCB_CURRENT_TIME);
    std::free(atom);
    std::free(xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr));
    // Kept open for the life of the process.
}

int compare(const QString& a, const QString& b) {
    int differing = 0;
    const QStringList names = QDir(a).entryList({u"*.png"_s}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        const QImage left = QImage(QDir(a).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        const QImage right = QImage(QDir(b).filePath(name)).convertToFormat(QImage::Format_ARGB32);
        if (left.size() != right.size()) {
            std::printf("%-40s missing or of another size\n", qPrintable(name));
            ++differing;
            continue;
        }
        int pixels = 0;
        int most = 0;
        for (int y = 0; y < left.height(); ++y) {
            for (int x = 0; x < left.width(); ++x) {
                const QRgb p = left.pixel(x, y);
                const QRgb q = right.pixel(x, y);
                if (p == q)
                    continue;
                if (pixels < qEnvironmentVariableIntValue("SAYVANE_SHOW_PIXELS") &&
                    qEnvironmentVariableIsSet("SAYVANE_SHOW_PIXELS"))
                    std::printf("  (%d, %d): %08x against %08x\n", x, y, p, q);
                ++pixels;
                most = std::max({most, std::abs(qRed(p) - qRed(q)), std::abs(qGreen(p) - qGreen(q)),
                                 std::abs(qBlue(p) - qBlue(q)), std::abs(qAlpha(p) - qAlpha(q))});
            }
        }
        std::printf("%-40s %s", qPrintable(name), pixels == 0 ? "same\n" : "");
        if (pixels > 0)
            std::printf("%d pixels differ, by at most %d levels\n", pixels, most);
        differing += pixels > 0 ? 1 : 0;
    }
    std::printf("%d of %lld pictures differ\n", differing, static_cast<long long>(names.size()));
    return differing == 0 ? 0 : 1;
}

} // namespace

int main(int argc, char* argv[]) {
    if (argc == 4 && QByteArray(argv[1]) == "--compare") {
        QCoreApplication application(argc, argv);
        return compare(QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));
    }
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUT_DIR [--transparent] | --compare A B\n", argv[0]);
        return 2;
    }
    const bool transparent = argc > 2 && QByteArray(argv[2]) == "--transparent";
    if (transparent)
        claimCompositing();
    QTemporaryDir home;
    qputenv("QT_QPA_PLATFORM", "xcb");
    isolateTestProcess(home);
    qputenv("QT_QPA_PLATFORM", "xcb");
    QApplication application(argc, argv);
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    ManualTiming manual;
    MarqueeTiming timing = manual.timing();
#if __has_include("StripPresenter.h")
    timing.presentFrames = x11StripPresenters();
#endif
    StatusItem item(250);
    auto* view = new MarqueeView(QRect(0, 0, 250, item.button()->height()), item.button(), timing);
    item.button()->layout()->addWidget(view);
    // As the display controller does: the text's colours (and the view's own background, where
    // the view has one) follow the button's fill.
    QObject::connect(item.button(), &StatusBarButton::backgroundChanged, view,
                     [view](const QColor& color) {
#if __has_include("StripPresenter.h")
                         view->setBackground(color);
#endif
                         view->setTextColors(TextColors::on(color));
                     });
#if __has_include("StripPresenter.h")
    view->setBackground(item.button()->background());
#endif
    view->setTextColors(TextColors::on(item.button()->background()));
    view->show();
    // The item looks for a panel's colour a second after placing the strip; the panel colours
    // below are set after that.
    wait(1500);

    struct Panel {
        const char* name;
        QColor color;
    };
    const std::vector<Panel> panels =
        transparent ? std::vector<Panel>{{"transparent", QColor(Qt::transparent)}}
                    : std::vector<Panel>{{"light", QColor(0xf0, 0xf0, 0xf0)},
                                         {"dark", QColor(0x30, 0x30, 0x30)}};
    const qreal ratio = view->devicePixelRatioF();
    for (const Panel& panel : panels) {
        item.button()->setBackground(panel.color);
        view->setSegments(segments);
        while (!view->isTextComplete())
            QCoreApplication::processEvents();
        // Offsets on a quarter of a pixel, the step in which glyphs are placed, so that every
        // build draws at the same place: the start, a few seconds in, just before the wrap (both
        // copies in view) and the same offset a round later. Then two that are not: an eighth
        // of a pixel, and the second copy just past the right edge, where its shadow reaches
        // into the view.
        const double width = view->measuredTextWidth();
        const double nearEnd = -std::floor((width - 9) * 4) / 4;
        const double seam = -std::floor((width - 252) * 4) / 4;
        struct Moment {
            double offset;
            int rounds;
        };
        for (const Moment moment : {Moment{0, 0}, Moment{-22.5, 0}, Moment{-139.5, 0},
                                    Moment{-326.25, 0}, Moment{-517.5, 0}, Moment{nearEnd, 0},
                                    Moment{-22.5, 1}, Moment{-0.125, 0}, Moment{seam, 0}}) {
            const double seconds = (moment.rounds * width - moment.offset) / 45.0;
            view->stop();
            view->setSegments(segments);
            while (!view->isTextComplete())
                QCoreApplication::processEvents();
            view->start();
            manual.clock->advance(seconds);
            if (*manual.lastLink)
                manual.link().fire();
            wait(250);
            const QString name = u"%1-ratio%2-offset%3%4.png"_s.arg(QString::fromLatin1(panel.name))
                                     .arg(ratio)
                                     .arg(moment.offset, 0, 'f', 3)
                                     .arg(moment.rounds > 0 ? u"-round2"_s : QString());
            grab(item.strip()).save(QDir(out).filePath(name));
            std::printf("%s\n", qPrintable(name));
        }
    }
    return 0;
}
