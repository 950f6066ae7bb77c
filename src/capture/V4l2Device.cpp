#include "capture/V4l2Device.h"

#include <cerrno>
#include <cstring>

#ifdef __linux__
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>
#endif

namespace {

template <size_t N>
std::string FixedText(const unsigned char (&text)[N]) {
    return std::string(reinterpret_cast<const char*>(text),
                       strnlen(reinterpret_cast<const char*>(text), N));
}

}  // namespace

TV4l2Device::~TV4l2Device() {
    Close();
}

TV4l2Device::TV4l2Device(TV4l2Device&& other) noexcept
    : FFd(std::exchange(other.FFd, -1)),
      FOwned(std::exchange(other.FOwned, false)),
      FLastError(other.FLastError),
      FCard(std::move(other.FCard)) {}

TV4l2Device& TV4l2Device::operator=(TV4l2Device&& other) noexcept {
    if (this != &other) {
        Close();
        FFd = std::exchange(other.FFd, -1);
        FOwned = std::exchange(other.FOwned, false);
        FLastError = other.FLastError;
        FCard = std::move(other.FCard);
    }
    return *this;
}

#ifdef __linux__

static_assert(TV4l2Device::kInputTypeTuner == V4L2_INPUT_TYPE_TUNER);
static_assert(TV4l2Device::kInputTypeCamera == V4L2_INPUT_TYPE_CAMERA);
static_assert(TV4l2Device::kTunerTypeAnalogTV == V4L2_TUNER_ANALOG_TV);
static_assert(TV4l2Device::kUserControlClass == V4L2_CTRL_CLASS_USER);

bool TV4l2Device::Open(const std::string& path, bool readWrite) {
    Close();
    const int fd = ::open(path.c_str(), (readWrite ? O_RDWR : O_RDONLY) | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        FLastError = errno;
        return false;
    }
    FFd = fd;
    FOwned = true;
    v4l2_capability cap{};
    if (!Ioctl(VIDIOC_QUERYCAP, &cap)) {
        const int error = FLastError;
        Close();
        FLastError = error;
        return false;
    }
    FCard = FixedText(cap.card);
    return true;
}

bool TV4l2Device::Borrow(int fd) {
    Close();
    if (fd < 0) {
        FLastError = EBADF;
        return false;
    }
    FFd = fd;
    FOwned = false;
    return true;
}

void TV4l2Device::Close() {
    if (FFd >= 0 && FOwned) {
        ::close(FFd);
    }
    FFd = -1;
    FOwned = false;
    FCard.clear();
}

bool TV4l2Device::Ioctl(unsigned long request, void* arg) {
    if (FFd < 0) {
        FLastError = EBADF;
        return false;
    }
    int result;
    do {
        result = ::ioctl(FFd, request, arg);
    } while (result < 0 && errno == EINTR);
    if (result < 0) {
        FLastError = errno;
        return false;
    }
    return true;
}

bool TV4l2Device::EnumInputs(std::vector<TV4l2Input>& inputs) {
    inputs.clear();
    for (uint32_t index = 0;; ++index) {
        v4l2_input input{};
        input.index = index;
        if (!Ioctl(VIDIOC_ENUMINPUT, &input)) {
            // The list ends with EINVAL; anything else before the first entry is a failure.
            return FLastError == EINVAL || !inputs.empty();
        }
        TV4l2Input entry;
        entry.Index = input.index;
        entry.Name = FixedText(input.name);
        entry.Type = input.type;
        entry.Standards = input.std;
        entry.Capabilities = input.capabilities;
        inputs.push_back(std::move(entry));
    }
}

bool TV4l2Device::GetInput(uint32_t& index) {
    int value = 0;
    if (!Ioctl(VIDIOC_G_INPUT, &value)) {
        return false;
    }
    index = static_cast<uint32_t>(value);
    return true;
}

bool TV4l2Device::SetInput(uint32_t index) {
    int value = static_cast<int>(index);
    return Ioctl(VIDIOC_S_INPUT, &value);
}

bool TV4l2Device::GetStandard(uint64_t& standard) {
    v4l2_std_id id = 0;
    if (!Ioctl(VIDIOC_G_STD, &id)) {
        return false;
    }
    standard = id;
    return true;
}

bool TV4l2Device::SetStandard(uint64_t standard) {
    v4l2_std_id id = standard;
    return Ioctl(VIDIOC_S_STD, &id);
}

bool TV4l2Device::GetTuner(TV4l2Tuner& tuner) {
    v4l2_tuner t{};
    t.index = 0;
    if (!Ioctl(VIDIOC_G_TUNER, &t)) {
        return false;
    }
    tuner.Name = FixedText(t.name);
    tuner.Type = t.type;
    tuner.RangeLow = t.rangelow;
    tuner.RangeHigh = t.rangehigh;
    return true;
}

bool TV4l2Device::HasAudioInput() {
    v4l2_audio audio{};
    return Ioctl(VIDIOC_G_AUDIO, &audio);
}

bool TV4l2Device::QueryUserControls(std::vector<TV4l2Control>& controls) {
    controls.clear();
    v4l2_queryctrl query{};
    query.id = kUserControlClass | V4L2_CTRL_FLAG_NEXT_CTRL;
    while (Ioctl(VIDIOC_QUERYCTRL, &query)) {
        if (V4L2_CTRL_ID2CLASS(query.id) != kUserControlClass) {
            break;
        }
        const uint32_t id = query.id;
        query.id |= V4L2_CTRL_FLAG_NEXT_CTRL;
        if ((query.flags & V4L2_CTRL_FLAG_DISABLED) != 0) {
            continue;
        }
        TV4l2Control control;
        switch (query.type) {
            case V4L2_CTRL_TYPE_INTEGER:
                control.Type = TV4l2ControlType::Integer;
                break;
            case V4L2_CTRL_TYPE_BOOLEAN:
                control.Type = TV4l2ControlType::Boolean;
                break;
            case V4L2_CTRL_TYPE_MENU:
            case V4L2_CTRL_TYPE_INTEGER_MENU:
                control.Type = TV4l2ControlType::Menu;
                break;
            case V4L2_CTRL_TYPE_BUTTON:
                control.Type = TV4l2ControlType::Button;
                break;
            default:
                continue;  // class headers, strings, 64-bit and compound controls
        }
        control.Id = id;
        control.Name = FixedText(query.name);
        control.Minimum = query.minimum;
        control.Maximum = query.maximum;
        control.Step = query.step > 0 ? query.step : 1;
        control.Default = query.default_value;
        control.ReadOnly = (query.flags & (V4L2_CTRL_FLAG_READ_ONLY | V4L2_CTRL_FLAG_GRABBED)) != 0;
        if (control.Type == TV4l2ControlType::Menu) {
            for (int32_t item = query.minimum; item <= query.maximum; ++item) {
                v4l2_querymenu menu{};
                menu.id = id;
                menu.index = static_cast<uint32_t>(item);
                if (!Ioctl(VIDIOC_QUERYMENU, &menu)) {
                    continue;  // drivers leave gaps in their menus
                }
                control.MenuItems.emplace_back(item, query.type == V4L2_CTRL_TYPE_MENU
                                                         ? FixedText(menu.name)
                                                         : std::to_string(menu.value));
            }
        }
        if (control.Type != TV4l2ControlType::Button && !GetControl(id, control.Value)) {
            control.Value = control.Default;  // write-only controls show their default
        }
        controls.push_back(std::move(control));
    }
    // The enumeration ends with EINVAL; a device without controls simply has none.
    return FFd >= 0 && (FLastError == EINVAL || !controls.empty());
}

bool TV4l2Device::GetControl(uint32_t id, int32_t& value) {
    v4l2_control control{};
    control.id = id;
    if (!Ioctl(VIDIOC_G_CTRL, &control)) {
        return false;
    }
    value = control.value;
    return true;
}

bool TV4l2Device::SetControl(uint32_t id, int32_t value) {
    v4l2_control control{};
    control.id = id;
    control.value = value;
    return Ioctl(VIDIOC_S_CTRL, &control);
}

#else  // no V4L2 on this system

bool TV4l2Device::Open(const std::string&, bool) {
    FLastError = ENOSYS;
    return false;
}
bool TV4l2Device::Borrow(int) {
    FLastError = ENOSYS;
    return false;
}
void TV4l2Device::Close() {
    FFd = -1;
    FOwned = false;
    FCard.clear();
}
bool TV4l2Device::Ioctl(unsigned long, void*) {
    FLastError = ENOSYS;
    return false;
}
bool TV4l2Device::EnumInputs(std::vector<TV4l2Input>& inputs) {
    inputs.clear();
    return Ioctl(0, nullptr);
}
bool TV4l2Device::GetInput(uint32_t&) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::SetInput(uint32_t) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::GetStandard(uint64_t&) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::SetStandard(uint64_t) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::GetTuner(TV4l2Tuner&) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::HasAudioInput() {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::QueryUserControls(std::vector<TV4l2Control>& controls) {
    controls.clear();
    return Ioctl(0, nullptr);
}
bool TV4l2Device::GetControl(uint32_t, int32_t&) {
    return Ioctl(0, nullptr);
}
bool TV4l2Device::SetControl(uint32_t, int32_t) {
    return Ioctl(0, nullptr);
}

#endif

uint64_t V4l2StandardOfAnalogVideoStandard(int32_t analogVideoStandard) {
    // AnalogVideo_* value -> V4L2_STD_* bits (the kernel's values, spelled out so the table
    // builds everywhere).
    static constexpr std::pair<int32_t, uint64_t> kTable[] = {
        {0x00000001, 0x00001000},  // NTSC M
        {0x00000002, 0x00002000},  // NTSC M Japan
        {0x00000004, 0x00004000},  // NTSC 4.43
        {0x00000010, 0x00000001},  // PAL B
        {0x00000020, 0x00000020},  // PAL D
        {0x00000040, 0x00000004},  // PAL G
        {0x00000080, 0x00000008},  // PAL H
        {0x00000100, 0x00000010},  // PAL I
        {0x00000200, 0x00000100},  // PAL M
        {0x00000400, 0x00000200},  // PAL N
        {0x00000800, 0x00000800},  // PAL 60
        {0x00001000, 0x00010000},  // SECAM B
        {0x00002000, 0x00020000},  // SECAM D
        {0x00004000, 0x00040000},  // SECAM G
        {0x00008000, 0x00080000},  // SECAM H
        {0x00010000, 0x00100000},  // SECAM K
        {0x00020000, 0x00200000},  // SECAM K1
        {0x00040000, 0x00400000},  // SECAM L
        {0x00080000, 0x00800000},  // SECAM L1 (LC)
        {0x00100000, 0x00000400},  // PAL N combination (Nc)
    };
    for (const auto& [analog, v4l2] : kTable) {
        if (analog == analogVideoStandard) {
            return v4l2;
        }
    }
    return 0;
}
