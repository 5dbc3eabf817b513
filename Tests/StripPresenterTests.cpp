// The strip's frames put by the X11 presenter, read back from the X server: what the window shows
// is the picture painted directly at the clock's offset, at pixel ratio 1 and (run again with
// QT_SCALE_FACTOR=2) 2, opaque and translucent, across a wrap and after a pause.
#include "DirectPicture.h"
#include "MarqueeView.h"
#include "StatusItem.h"
#include "StripPresenter.h"
#include "TestSupport.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QLayout>

#include <xcb/xcb.h>

#include <cstdlib>
#include <cstring>

#include <gtest/gtest.h>

using namespace Qt::StringLiterals;

namespace {

const QStringList segments = {
    u"Quote 17: never give up; Đừng bao giờ từ bỏ; 千里之行 始于足下"_s,
    u"  🌟  "_s,
    u"A long quote that keeps going well past the width of the strip, so that a frame is all "
    "of one quote: the journey of a thousand miles begins with one step."_s,
    u"  ☀️  "_s,
};

void wait(int milliseconds) {
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < milliseconds)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
}

xcb_connection_t* qtConnection() {
    return qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
}

// The window's pixels as the X server holds them, in the image's format for its depth.
QImage serverPicture(QWidget* window) {
    xcb_connection_t* connection = qtConnection();
    const auto id = static_cast<xcb_window_t>(window->winId());
    auto* geometry = xcb_get_geometry_reply(connection, xcb_get_geometry(connection, id), nullptr);
    auto* reply = xcb_get_image_reply(connection,
                                      xcb_get_image(connection, XCB_IMAGE_FORMAT_Z_PIXMAP, id, 0, 0,
                                                    geometry->width, geometry->height, ~0u),
                                      nullptr);
    QImage picture(geometry->width, geometry->height,
                   geometry->depth == 32 ? QImage::Format_ARGB32_Premultiplied
                                         : QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        std::memcpy(picture.scanLine(y), xcb_get_image_data(reply) + y * geometry->width * 4,
                    static_cast<size_t>(geometry->width) * 4);
    std::free(reply);
    std::free(geometry);
    return picture;
}

// Owns the compositing manager's selection, so that the strip takes a translucent window.
void claimCompositing() {
    xcb_connection_t* connection = qtConnection();
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
}

struct Shown {
    ManualTiming manual;
    std::unique_ptr<StatusItem> item;
    MarqueeView* view = nullptr;
    StyledText text{segments, stripFont(), nullptr};
    QColor background;

    explicit Shown(const QColor& panel)
        : background(panel) {
        MarqueeTiming timing = manual.timing();
        timing.presentFrames = x11StripPresenters();
        item = std::make_unique<StatusItem>(250);
        view = new MarqueeView(QRect(0, 0, 250, StatusItem::barHeight), item->button(), timing);
        item->button()->layout()->addWidget(view);
        view->show();
        // The item looks for a panel's colour a second after placing the strip.
        wait(1300);
        item->button()->setBackground(background);
        view->setBackground(background);
        view->setTextColors(TextColors::on(background));
        view->setSegments(segments);
        while (!view->isTextComplete())
            QCoreApplication::processEvents();
        view->start();
    }
    ::testing::AssertionResult showsTheFrame() {
        const TextColors colors = TextColors::on(background);
        const qreal ratio = view->devicePixelRatioF();
        // Frames come at the refresh rate, all at the same moment of the hand-driven clock, once
        // the chunks they need are drawn (on a busy machine, a while later).
        QElapsedTimer waited;
        waited.start();
        while (waited.elapsed() < 3000) {
            wait(50);
            const QImage window = serverPicture(item->strip());
            QImage expected = directPicture(text, text.width(), view->size(), ratio, background,
                                            colors.label, colors.shadow, view->currentOffset())
                                  .convertToFormat(window.format());
            expected.setDevicePixelRatio(1);
            if (window == expected)
                return ::testing::AssertionSuccess();
        }
        return ::testing::AssertionFailure()
               << "the window differs at offset " << view->currentOffset() << ", ratio " << ratio;
    }
};

} // namespace

TEST(StripPresenter, TheWindowShowsTheClocksFrameAcrossAWrapAndAfterAPause) {
    for (const QColor& panel : {QColor(0x30, 0x30, 0x30), QColor(0xf0, 0xf0, 0xf0)}) {
        Shown shown(panel);
        ASSERT_TRUE(shown.view->isPresenting()) << "no presenter on this X server";
        // Moments of 1/360 s put the offset on every quarter of a device pixel at ratio 2 too.
        const double round = shown.text.width() / MarqueeView::scrollSpeed;
        const double first = 613 / 360.0;
        const double second = 4069 / 360.0;
        for (const double seconds :
             {first, second, round - first - second - 0.4, 325 / 360.0, 1117 / 360.0}) {
            shown.manual.clock->advance(seconds);
            EXPECT_TRUE(shown.showsTheFrame());
        }
        // Paused, the view's own painting shows the same picture, and the presenter rests.
        shown.view->setPaused(true);
        EXPECT_FALSE(shown.view->isPresenting());
        shown.manual.clock->advance(5);
        shown.view->update();
        EXPECT_TRUE(shown.showsTheFrame());
    }
}

TEST(StripPresenter, TheWindowOfACompositedDesktopShowsTheFrameWithItsTransparency) {
    claimCompositing();
    Shown shown(Qt::transparent);
    ASSERT_TRUE(shown.view->isPresenting());
    for (const double seconds : {287 / 360.0, 2843 / 360.0}) {
        shown.manual.clock->advance(seconds);
        EXPECT_TRUE(shown.showsTheFrame());
    }
}

int main(int argc, char* argv[]) {
    return runTestsUnderXvfb(argc, argv, u"1280x720x24"_s);
}
