#include <gtest/gtest.h>

#include <QCheckBox>
#include <QComboBox>
#include <QPushButton>
#include <QSlider>

#include <utility>
#include <vector>

#include "capture/DevicePropertiesDialog.h"
#include "support/LogCapture.h"

namespace {

constexpr uint32_t kBrightness = 0x00980900;
constexpr uint32_t kAutoWhiteBalance = 0x0098090c;
constexpr uint32_t kPowerLine = 0x00980918;
constexpr uint32_t kGain = 0x00980913;
constexpr uint32_t kReset = 0x00980915;

TV4l2Control Control(uint32_t id, const char* name, TV4l2ControlType type, int32_t min, int32_t max,
                     int32_t step, int32_t def, int32_t value) {
    TV4l2Control c;
    c.Id = id;
    c.Name = name;
    c.Type = type;
    c.Minimum = min;
    c.Maximum = max;
    c.Step = step;
    c.Default = def;
    c.Value = value;
    return c;
}

// A made-up webcam: brightness (step 2), auto white balance, power-line menu, a read-only
// gain and a button.
std::vector<TV4l2Control> MadeUpControls() {
    auto powerLine =
        Control(kPowerLine, "Power Line Frequency", TV4l2ControlType::Menu, 0, 2, 1, 1, 2);
    powerLine.MenuItems = {{0, "Disabled"}, {1, "50 Hz"}, {2, "60 Hz"}};
    auto gain = Control(kGain, "Gain", TV4l2ControlType::Integer, 0, 255, 1, 0, 10);
    gain.ReadOnly = true;
    return {
        Control(kBrightness, "Brightness", TV4l2ControlType::Integer, -64, 64, 2, 0, 10),
        Control(kAutoWhiteBalance, "White Balance, Automatic", TV4l2ControlType::Boolean, 0, 1, 1,
                1, 0),
        powerLine,
        gain,
        Control(kReset, "Reset", TV4l2ControlType::Button, 0, 0, 0, 0, 0),
    };
}

class DevicePropertiesDialogTest : public ::testing::Test {
protected:
    void SetUp() override { MakeDialog(true); }
    void MakeDialog(bool accept) {
        FDialog = std::make_unique<TDevicePropertiesDialog>(
            MadeUpControls(),
            [this, accept](uint32_t id, int32_t value) {
                FSet.emplace_back(id, value);
                return accept;
            },
            "Settings");
    }
    int32_t ValueOf(uint32_t id) {
        for (const auto& c : FDialog->Controls()) {
            if (c.Id == id) {
                return c.Value;
            }
        }
        ADD_FAILURE() << "no control " << id;
        return -1;
    }
    std::vector<std::pair<uint32_t, int32_t>> FSet;
    std::unique_ptr<TDevicePropertiesDialog> FDialog;
};

TEST_F(DevicePropertiesDialogTest, OneEditorPerControlType) {
    EXPECT_EQ(FDialog->windowTitle(), "Settings");
    auto* slider = qobject_cast<QSlider*>(FDialog->Editor(kBrightness));
    ASSERT_NE(slider, nullptr);
    EXPECT_EQ(slider->minimum(), -64);
    EXPECT_EQ(slider->maximum(), 64);
    EXPECT_EQ(slider->singleStep(), 2);
    EXPECT_EQ(slider->value(), 10);
    auto* box = qobject_cast<QCheckBox*>(FDialog->Editor(kAutoWhiteBalance));
    ASSERT_NE(box, nullptr);
    EXPECT_FALSE(box->isChecked());
    auto* combo = qobject_cast<QComboBox*>(FDialog->Editor(kPowerLine));
    ASSERT_NE(combo, nullptr);
    ASSERT_EQ(combo->count(), 3);
    EXPECT_EQ(combo->itemText(1), "50 Hz");
    EXPECT_EQ(combo->currentText(), "60 Hz");
    EXPECT_FALSE(FDialog->Editor(kGain)->isEnabled());
    EXPECT_NE(qobject_cast<QPushButton*>(FDialog->Editor(kReset)), nullptr);
    EXPECT_EQ(FDialog->Editor(0x12345), nullptr);
    EXPECT_TRUE(FSet.empty());  // building the dialog changes nothing on the device
}

TEST_F(DevicePropertiesDialogTest, ChangesGoToTheDeviceWithIdAndValue) {
    qobject_cast<QSlider*>(FDialog->Editor(kBrightness))
        ->setValue(21);  // between two steps: the upper one
    qobject_cast<QCheckBox*>(FDialog->Editor(kAutoWhiteBalance))->setChecked(true);
    qobject_cast<QComboBox*>(FDialog->Editor(kPowerLine))->setCurrentIndex(0);
    qobject_cast<QPushButton*>(FDialog->Editor(kReset))->click();
    const std::vector<std::pair<uint32_t, int32_t>> expected = {
        {kBrightness, 22}, {kAutoWhiteBalance, 1}, {kPowerLine, 0}, {kReset, 1}};
    EXPECT_EQ(FSet, expected);
    EXPECT_EQ(ValueOf(kBrightness), 22);
    EXPECT_EQ(qobject_cast<QSlider*>(FDialog->Editor(kBrightness))->value(), 22);
    EXPECT_EQ(ValueOf(kPowerLine), 0);
}

TEST_F(DevicePropertiesDialogTest, DefaultRestoresEveryChangedControl) {
    qobject_cast<QSlider*>(FDialog->Editor(kBrightness))->setValue(40);
    FSet.clear();
    auto* button = FDialog->findChild<QPushButton*>("btnDefault");
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), "Default");
    button->click();
    // Read-only gain and the button are left alone; controls already at default too.
    const std::vector<std::pair<uint32_t, int32_t>> expected = {
        {kBrightness, 0}, {kAutoWhiteBalance, 1}, {kPowerLine, 1}};
    EXPECT_EQ(FSet, expected);
    EXPECT_EQ(qobject_cast<QSlider*>(FDialog->Editor(kBrightness))->value(), 0);
    EXPECT_TRUE(qobject_cast<QCheckBox*>(FDialog->Editor(kAutoWhiteBalance))->isChecked());
    EXPECT_EQ(qobject_cast<QComboBox*>(FDialog->Editor(kPowerLine))->currentText(), "50 Hz");
    EXPECT_EQ(ValueOf(kGain), 10);
    FSet.clear();
    button->click();
    EXPECT_TRUE(FSet.empty());
}

TEST_F(DevicePropertiesDialogTest, RefusedChangeKeepsTheDeviceValue) {
    MakeDialog(false);
    LogCapture log;
    auto* box = qobject_cast<QCheckBox*>(FDialog->Editor(kAutoWhiteBalance));
    box->setChecked(true);
    ASSERT_EQ(FSet.size(), 1u);
    EXPECT_FALSE(box->isChecked());
    EXPECT_EQ(ValueOf(kAutoWhiteBalance), 0);
    EXPECT_TRUE(
        log.Contains("Error in TDevicePropertiesDialog - cannot set White Balance, "
                     "Automatic."));
}

}  // namespace
