// Blending a frame must not allocate: the player and the converter call it
// for every frame. Counts the C++ allocations made on this thread.
#include <gtest/gtest.h>

#include <cstdlib>
#include <new>

#include "DrawerHandle.h"
#include "TestImages.h"

namespace {
thread_local bool counting = false;
thread_local int allocations = 0;
}  // namespace

// The whole family is replaced, so that nothing allocated here is freed by
// another allocator (AddressSanitizer checks that they match).
namespace {
void* Allocate(std::size_t size) {
    if (counting) ++allocations;
    return std::malloc(size ? size : 1);
}
}  // namespace

void* operator new(std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new[](std::size_t size) {
    if (void* p = Allocate(size)) return p;
    throw std::bad_alloc();
}
void* operator new(std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept { return Allocate(size); }
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }

using namespace bktest;

TEST(HotPath, BlendAndAdjustAllocateNothing) {
    auto d = NewDrawer();
    BK_SetFrameRate(d.get(), 10);
    FontPtr font(BK_CreateFont("DejaVu Sans", 12, BK_FONT_BOLD));
    const BkRect r{5, 5, 60, 40};
    ASSERT_EQ(BK_AppendPicture(d.get(), Fixture("anim_64x48_5x100ms.gif").c_str(), &r, 0x000000, 0, 100), 0);
    ASSERT_EQ(BK_AppendText(d.get(), "hot", 10, 10, 0xffffff, font.get(), 0, 100), 1);
    ASSERT_EQ(BK_SetFades(d.get(), 1, 10, 10), BK_OK);
    Frame f = GradientFrame(96, 64);
    const BkRect crop{4, 4, 90, 60};
    counting = true;
    for (int frame = 0; frame < 30; ++frame) {
        BK_SetFrameIndex(d.get(), frame);
        BK_BlendFrame(d.get(), f.data(), 96, 64, -f.stride());
        BK_AdjustPicture(d.get(), f.data(), 96, 64, f.stride(), 0.1f, 0.1f);
        BK_DrawCropFrame(f.data(), 96, 64, f.stride(), &crop, 0xff111111);
    }
    counting = false;
    EXPECT_EQ(allocations, 0);
}
