// Dialog placement with real windows: over a visible owner, over the work
// area when the owner is hidden or minimised, and clamped at each edge.
#include <windows.h>

#include <vector>

#include <gtest/gtest.h>

#include "app/center_on_owner.h"

namespace {

constexpr int kWidth = 200;
constexpr int kHeight = 100;

class CenterOnOwnerTest : public ::testing::Test {
protected:
    void SetUp() override { SystemParametersInfoA(SPI_GETWORKAREA, 0, &area_, 0); }
    void TearDown() override {
        for (HWND window : windows_) {
            DestroyWindow(window);
        }
    }

    HWND Popup(int x, int y, int width, int height, HWND owner, bool visible) {
        HWND window = CreateWindowExA(0, "STATIC", "", WS_POPUP | (visible ? WS_VISIBLE : 0), x, y,
                                      width, height, owner, nullptr, nullptr, nullptr);
        EXPECT_NE(window, nullptr);
        windows_.insert(windows_.begin(), window);
        return window;
    }

    // An owned pop-up of the test size, placed somewhere arbitrary.
    HWND Dialog(HWND owner) { return Popup(3, 5, kWidth, kHeight, owner, false); }

    static POINT Position(HWND window) {
        RECT rect{};
        GetWindowRect(window, &rect);
        EXPECT_EQ(rect.right - rect.left, kWidth);
        EXPECT_EQ(rect.bottom - rect.top, kHeight);
        return {rect.left, rect.top};
    }

    POINT AreaCentred() const {
        return {(area_.left + area_.right) / 2 - kWidth / 2,
                (area_.top + area_.bottom) / 2 - kHeight / 2};
    }

    RECT area_{};
    std::vector<HWND> windows_;
};

TEST_F(CenterOnOwnerTest, CentresOverAVisibleOwner) {
    HWND owner = Popup(area_.left + 100, area_.top + 100, 400, 300, nullptr, true);
    HWND dialog = Dialog(owner);
    CenterOnOwner(dialog);
    const POINT at = Position(dialog);
    EXPECT_EQ(at.x, area_.left + 200);
    EXPECT_EQ(at.y, area_.top + 200);

    // An explicit centre-on window wins over the owner.
    HWND other = Popup(area_.left + 300, area_.top + 200, 300, 201, nullptr, true);
    CenterOnOwner(dialog, other);
    const POINT over = Position(dialog);
    EXPECT_EQ(over.x, area_.left + 350);
    EXPECT_EQ(over.y, area_.top + 250); // 200 + 100 (201 / 2 truncated) - 50
}

TEST_F(CenterOnOwnerTest, HiddenOrMinimisedOwnerGivesTheWorkArea) {
    HWND hidden = Popup(area_.left + 10, area_.top + 10, 300, 200, nullptr, false);
    HWND dialog = Dialog(hidden);
    CenterOnOwner(dialog);
    POINT at = Position(dialog);
    EXPECT_EQ(at.x, AreaCentred().x);
    EXPECT_EQ(at.y, AreaCentred().y);

    HWND minimised = Popup(area_.left + 10, area_.top + 10, 300, 200, nullptr, true);
    ShowWindow(minimised, SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(minimised));
    HWND second = Dialog(minimised);
    CenterOnOwner(second);
    at = Position(second);
    EXPECT_EQ(at.x, AreaCentred().x);
    EXPECT_EQ(at.y, AreaCentred().y);

    HWND lone = Dialog(nullptr);
    CenterOnOwner(lone);
    at = Position(lone);
    EXPECT_EQ(at.x, AreaCentred().x);
    EXPECT_EQ(at.y, AreaCentred().y);
}

TEST_F(CenterOnOwnerTest, StaysInsideTheWorkAreaAtEachEdge) {
    // Owners smaller than the dialog, hugging each edge of the work area.
    HWND topLeft = Popup(area_.left, area_.top, 40, 20, nullptr, true);
    HWND dialog = Dialog(topLeft);
    CenterOnOwner(dialog);
    POINT at = Position(dialog);
    EXPECT_EQ(at.x, area_.left);
    EXPECT_EQ(at.y, area_.top);

    HWND bottomRight = Popup(area_.right - 40, area_.bottom - 20, 40, 20, nullptr, true);
    HWND second = Dialog(bottomRight);
    CenterOnOwner(second);
    at = Position(second);
    EXPECT_EQ(at.x, area_.right - kWidth);
    EXPECT_EQ(at.y, area_.bottom - kHeight);

    // Partly outside the work area altogether.
    HWND offLeft = Popup(area_.left - 300, area_.bottom + 50, 100, 100, nullptr, true);
    HWND third = Dialog(offLeft);
    CenterOnOwner(third);
    at = Position(third);
    EXPECT_EQ(at.x, area_.left);
    EXPECT_EQ(at.y, area_.bottom - kHeight);

    HWND offRight = Popup(area_.right + 20, area_.top - 400, 100, 100, nullptr, true);
    HWND fourth = Dialog(offRight);
    CenterOnOwner(fourth);
    at = Position(fourth);
    EXPECT_EQ(at.x, area_.right - kWidth);
    EXPECT_EQ(at.y, area_.top);
}

TEST_F(CenterOnOwnerTest, ChildIsCentredAndKeptInItsParentsClientArea) {
    HWND parent = Popup(area_.left + 50, area_.top + 60, 500, 400, nullptr, true);
    RECT client{};
    GetClientRect(parent, &client);
    HWND child = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, kWidth, kHeight,
                                 parent, nullptr, nullptr, nullptr);
    ASSERT_NE(child, nullptr);
    CenterOnOwner(child);
    RECT placed{};
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, client.right / 2 - kWidth / 2);
    EXPECT_EQ(placed.top, client.bottom / 2 - kHeight / 2);

    // Centred on a sibling in the corner: pushed back inside the client area.
    HWND corner = CreateWindowExA(0, "STATIC", "", WS_CHILD | WS_VISIBLE, 0, 0, 30, 30, parent,
                                  nullptr, nullptr, nullptr);
    CenterOnOwner(child, corner);
    GetWindowRect(child, &placed);
    MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
    EXPECT_EQ(placed.left, 0);
    EXPECT_EQ(placed.top, 0);
}

} // namespace
