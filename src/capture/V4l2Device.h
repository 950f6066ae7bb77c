#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// A thin owner of a V4L2 device file and the few ioctls the capture graph uses: inputs,
// video standard, tuner, audio input and the user controls. Everything here is plain C++;
// on systems without V4L2 every operation fails. Each call answers false on failure and
// keeps errno in LastError().

// One input of the device (VIDIOC_ENUMINPUT).
struct TV4l2Input {
    uint32_t Index = 0;
    std::string Name;
    uint32_t Type = 0;  // TV4l2Device::kInputTypeTuner, kInputTypeCamera, ...
    uint64_t Standards = 0;
    uint32_t Capabilities = 0;
};

// The device's first tuner (VIDIOC_G_TUNER).
struct TV4l2Tuner {
    std::string Name;
    uint32_t Type = 0;  // TV4l2Device::kTunerTypeAnalogTV, ...
    uint32_t RangeLow = 0;
    uint32_t RangeHigh = 0;
};

enum class TV4l2ControlType { Integer, Boolean, Menu, Button };

// One user control of the device, the data behind the device properties dialog.
struct TV4l2Control {
    uint32_t Id = 0;
    std::string Name;
    TV4l2ControlType Type = TV4l2ControlType::Integer;
    int32_t Minimum = 0;
    int32_t Maximum = 0;
    int32_t Step = 1;
    int32_t Default = 0;
    int32_t Value = 0;
    bool ReadOnly = false;
    // Menu controls: (value, label) of every item the driver names.
    std::vector<std::pair<int32_t, std::string>> MenuItems;
};

class TV4l2Device {
public:
    static constexpr uint32_t kInputTypeTuner = 1;
    static constexpr uint32_t kInputTypeCamera = 2;
    static constexpr uint32_t kTunerTypeAnalogTV = 2;
    static constexpr uint32_t kUserControlClass = 0x00980000;

    TV4l2Device() = default;
    ~TV4l2Device();
    TV4l2Device(const TV4l2Device&) = delete;
    TV4l2Device& operator=(const TV4l2Device&) = delete;
    TV4l2Device(TV4l2Device&& other) noexcept;
    TV4l2Device& operator=(TV4l2Device&& other) noexcept;

    // Opens `path` (read-only or read-write, never blocking) and checks that it is a V4L2
    // device (VIDIOC_QUERYCAP); a file that is not one is closed again.
    bool Open(const std::string& path, bool readWrite);
    // Uses a descriptor someone else owns (the capture element's own while it runs); it is
    // never closed here.
    bool Borrow(int fd);
    void Close();
    bool IsOpen() const { return FFd >= 0; }
    int LastError() const { return FLastError; }
    // The driver's card name from VIDIOC_QUERYCAP.
    const std::string& Card() const { return FCard; }

    bool EnumInputs(std::vector<TV4l2Input>& inputs);
    bool GetInput(uint32_t& index);
    bool SetInput(uint32_t index);
    bool GetStandard(uint64_t& standard);
    bool SetStandard(uint64_t standard);
    bool GetTuner(TV4l2Tuner& tuner);
    // True when the device has a current audio input (VIDIOC_G_AUDIO).
    bool HasAudioInput();

    // The controls of the user class in driver order (disabled ones left out).
    bool QueryUserControls(std::vector<TV4l2Control>& controls);
    bool GetControl(uint32_t id, int32_t& value);
    bool SetControl(uint32_t id, int32_t value);

private:
    bool Ioctl(unsigned long request, void* arg);

    int FFd = -1;
    bool FOwned = false;
    int FLastError = 0;
    std::string FCard;
};

// The V4L2 standard set for an analog video standard value of the capture graph (the
// AnalogVideo_* values, e.g. 0x10 = PAL B); 0 for a value without counterpart.
uint64_t V4l2StandardOfAnalogVideoStandard(int32_t analogVideoStandard);
