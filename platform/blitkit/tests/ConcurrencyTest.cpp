// One thread registers, moves and removes overlays while another blends:
// the drawer's own lock keeps every frame whole (run under ASan).
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "DrawerHandle.h"
#include "TestImages.h"

using namespace bktest;

TEST(Concurrency, RegisteringWhileBlending) {
    auto d = NewDrawer();
    FontPtr font(BK_CreateFont("DejaVu Sans", 12, 0));
    std::atomic<bool> done{false};
    std::thread player([&] {
        Frame f = GradientFrame(64, 48);
        for (int frame = 0; !done; ++frame) {
            BK_SetFrameIndex(d.get(), frame % 50);
            ASSERT_EQ(BK_BlendFrame(d.get(), f.data(), 64, 48, -f.stride()), BK_OK);
        }
    });
    const BkRect r{0, 0, 40, 30};
    for (int i = 0; i < 60; ++i) {
        BK_AppendPicture(d.get(), Fixture("still_64x48.bmp").c_str(), &r, -1, i % 50, 10);
        BK_AppendText(d.get(), "t", i, i, 0xffffff, font.get(), 0, -1);
        BK_SetFades(d.get(), 0, 2, 2);
        BK_MoveOverlay(d.get(), 1, -i, i);
        BK_ReplaceText(d.get(), 0, "again", 3, 3, 0xff, font.get(), 0, 5);
        BK_MoveSlot(d.get(), 0, BK_GetOverlayCount(d.get()) - 1);
        BK_RemoveOverlay(d.get(), 0);
        if (i % 20 == 19) BK_ClearOverlays(d.get());
    }
    done = true;
    player.join();
}
