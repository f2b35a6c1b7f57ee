// The audio association: interface paths rewritten to registry keys, endpoints stored per
// device, the ASIO lookup, and when the library runs them (against fake audio lists).
#include "AudioAssociation.h"
#include "devlink_ids.h"
#include "FakePlatform.h"
#include "Library.h"

#include <gtest/gtest.h>

#include <map>

using namespace qtx::devlink;
using namespace qtx::devlink::test;

namespace
{
const std::string enumRoot = "SYSTEM\\CurrentControlSet\\Enum";

// A USB audio interface's path as wave-out gives it, and the key it leads to.
std::u16string audioPath (const char16_t* product, const char16_t* instance)
{
    return std::u16string (u"\\\\?\\usb#vid_7a52&") + product + u"&mi_00#" + instance +
           u"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
}

struct FakeAudio : AudioSystem
{
    std::vector<PlaybackDevice> playback;
    std::vector<std::u16string> waveOut;
    std::map<int, std::u16string> interfaces;
    std::map<std::string, std::string> machine; // key -> ParentIdPrefix
    std::map<std::string, std::string> user;    // key "|" value -> text

    std::vector<PlaybackDevice> playbackDevices() override { return playback; }
    std::vector<std::u16string> waveOutNames() override { return waveOut; }
    std::u16string waveOutInterface (int index) override { return interfaces[index]; }
    std::string machineString (const std::string& key, const std::string& value) override
    {
        return value == "ParentIdPrefix" ? machine[key] : std::string();
    }
    std::string userString (const std::string& key, const std::string& value) override
    {
        return user[key + "|" + value];
    }

    // A playback device whose wave-out twin sits on the USB instance that leads to `parentPrefix`.
    void add (std::uint8_t id, const std::u16string& name, const char16_t* instance,
              const std::string& parentPrefix)
    {
        PlaybackDevice d;
        d.hasId = true;
        d.id.fill (id);
        d.description = name;
        playback.push_back (d);
        interfaces[int (waveOut.size())] = audioPath (u"pid_0140", instance);
        waveOut.push_back (name);
        machine[*audioInterfaceKey (audioPath (u"pid_0140", instance))] = parentPrefix;
    }
};

DevlinkGuid guid (std::uint8_t fill)
{
    DevlinkGuid g;
    std::fill (std::begin (g.bytes), std::end (g.bytes), fill);
    return g;
}

// The byte an id is filled with, -1 if its bytes differ.
int fillOf (const DevlinkGuid& g)
{
    const auto same = std::count (std::begin (g.bytes), std::end (g.bytes), g.bytes[0]);
    return same == std::ptrdiff_t (std::size (g.bytes)) ? g.bytes[0] : -1;
}

// "first name / second name", the ids as their fill bytes, "+" for a repeat.
std::string describe (const AudioEndpoints& e)
{
    return std::to_string (fillOf (e.first)) + " " + std::string (e.firstName.begin(), e.firstName.end()) +
           " / " + std::to_string (fillOf (e.second)) + " " +
           std::string (e.secondName.begin(), e.secondName.end()) + (e.repeat ? " +" : "");
}
} // namespace

TEST (AudioKeys, InterfacePathsRewritten)
{
    struct Case
    {
        std::u16string path;
        std::optional<std::string> key;
    };
    const std::u16string guidTail = u"#{6994ad04-93ef-11d0-a3cc-00a0c9223196}\\global";
    const Case cases[] = {
        {audioPath (u"pid_0140", u"7&1a2b&0&0000"),
         enumRoot + "\\USB\\VID_7A52&PID_0140&MI_08\\7&1A2B&0&0008"},
        // "PID_0140" first, wherever "PID_0143" is.
        {u"\\\\?\\x#pid_0143#a&pid_0140_z#b&c1" + guidTail, enumRoot + "\\X\\PID_0143\\A&PID_0140_8\\B&C8"},
        // 32 off every code from 0x60 on: "`{|}~" become "@[\]^".
        {u"\\\\?\\usb#vid_7a52&pid_0140&`{|}~0#7&1" + guidTail,
         enumRoot + "\\USB\\VID_7A52&PID_0140&@[\\]^8\\7&8"},
        // Adjacent "#": the first one becomes the second "8".
        {u"\\\\?\\usb#vid_7a52&pid_0140##", enumRoot + "\\USB\\VID_7A52&PID_01488"},
        {u"\\\\?\\usb#vid_7a52&pid_0141&mi_00#7&1a2b&0&0000" + guidTail, std::nullopt},
        {u"\\\\?\\usb#vid_7a52&pid_0140&mi_00#7&1a2b&0&0000", std::nullopt}, // one "#" after it
        {u"", std::nullopt},
        {u"\\\\?\\usb#vid_7a52&pid_0140&mi_\u00e90#7" + guidTail, std::nullopt}, // not ASCII
        {u"{EB97DC36-98DC-4886-A8B3-33ADC2C29C69}", std::nullopt},               // what wine gives
    };
    for (const auto& c : cases)
        EXPECT_EQ (audioInterfaceKey (c.path), c.key) << std::string (c.path.begin(), c.path.end());

    // The ASIO driver's text: 32 off 0x60 to 0x7F only (the other lookups are the library's table).
    EXPECT_EQ (asioInterfaceKey ("\\\\?\\usb#pid_0143&\xc3\xa9x#1#", "PID_0143"),
               enumRoot + "\\USB\\PID_0143&\xc3\xa9"
                          "8\\8");
}

TEST (AudioAssociation, EndpointsStoredPerDevice)
{
    FakeAudio audio;
    audio.add (9, u"Primary", u"7&e&0&0000", "8&ddd&0");
    audio.playback.back().hasId = false; // the default device: skipped
    audio.add (1, u"Speakers (LYRA)", u"7&a&0&0000", "8&aaa&0");
    audio.add (2, u"Line (LYRA)", u"7&a&0&0001", "8&aaa&0");
    audio.add (3, u"Speakers (LYRA)", u"7&a&0&0002", "8&aaa&0"); // a name again: repeat
    audio.add (4, u"Mic (LYRA)", u"7&a&0&0003", "8&aaa&0");      // a third: left out
    audio.add (5, u"Main", u"7&b&0&0000", "8&bbb&0");
    const std::u16string longName (maxAudioName + 50, u'n');
    audio.add (6, longName, u"7&c&0&0000", "8&ccc&0");
    // Only the first wave-out device of a name counts: this twin leads elsewhere.
    audio.add (7, longName, u"7&d&0&0000", "8&ddd&0");
    audio.playback.pop_back();
    PlaybackDevice orphan; // no wave-out device of its name
    orphan.hasId = true;
    orphan.id.fill (8);
    orphan.description = u"Orphan";
    audio.playback.push_back (orphan);

    const std::vector<AudioTableEntry> table = {
        {"hid#vid_7a52&pid_0191&mi_08#8&aaa&0&0000#{4d1e55b2}", 1},
        {"hid#vid_7a51&pid_0046#8&bbb&0&0000", 9},
        {"hid#vid_7a51&pid_0046#8&aaa&0&0000", -1}, // absent
        {"hid#vid_7a51&pid_0046#8&AAA&0&0000", 9},  // compared case-sensitively
        {"hid#vid_7a51&pid_0046#8&ccc&0&0000", 9},
        {"hid#vid_7a51&pid_0046#8&ddd&0&0000", 9}, // only the skipped ones lead here
    };
    std::vector<std::string> found;
    for (const auto& e : associateAudio (audio, table))
        found.push_back (describe (e));
    const std::string cut = "6 " + std::string (maxAudioName, 'n') + " / 0 ";
    EXPECT_EQ (found, (std::vector<std::string>{"1 Speakers (LYRA) / 2 Line (LYRA) +", "5 Main / 0 ",
                                                "0  / 0 ", "0  / 0 ", cut, "0  / 0 "}));
}

namespace
{
struct LibraryAudioTest : LibraryTest
{
    FakeAudio audio;

    void SetUp() override
    {
        Platform p = fake.platform();
        p.audio = &audio;
        lib = std::make_unique<Library> (p);
    }

    static HidInterface device (const std::string& port, std::uint16_t vendor, std::uint16_t product,
                                const std::string& parentPrefix)
    {
        HidInterface d = FakePlatform::device (port, vendor, product);
        d.path += "#" + parentPrefix + "&0000";
        return d;
    }

    // The fill of the device's first endpoint id.
    int first (int n, int* repeat = nullptr)
    {
        DevlinkGuid a = guid (0x55), b = guid (0x55);
        const int r = lib->audioIds (n, &a, &b);
        if (repeat != nullptr)
            *repeat = r;
        return fillOf (a);
    }
};
} // namespace

TEST_F (LibraryAudioTest, AssociatedWhenTheDeviceSetChanges)
{
    const HidInterface ctrl = device ("1-2", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, "8&aaa&0");
    const HidInterface other = device ("1-3", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, "8&bbb&0");
    fake.plug (ctrl);
    audio.add (1, u"Speakers", u"7&a&0&0000", "8&aaa&0");
    audio.add (2, u"Speakers", u"7&a&0&0001", "8&aaa&0");

    // Stopped: every refresh rebuilds the table and associates anew.
    int repeat = -1;
    EXPECT_EQ (first (0, &repeat), 1);
    EXPECT_EQ (repeat, 1);
    for (int n : {-1, 1, 128})
        EXPECT_TRUE (first (n, &repeat) == 0 && repeat == 0) << n;
    EXPECT_EQ (lib->audioIds (0, nullptr, nullptr), 1);

    ASSERT_EQ (lib->initialize(), 1);
    lib->start();
    audio.playback.erase (audio.playback.begin()); // only id 2 now

    // A new device: all associated again.
    fake.plug (other);
    audio.add (3, u"Line", u"7&b&0&0000", "8&bbb&0");
    fake.fireChange();
    EXPECT_EQ (first (0, &repeat), 2);
    EXPECT_EQ (repeat, 0);
    EXPECT_EQ (first (1), 3);

    lib->finalize();
}

TEST_F (LibraryAudioTest, AsioChannelsLeadToTheSetsDeviceType)
{
    fake.plug (device ("1-2", DEVLINK_VENDOR_ID, DEVLINK_CONTROLLER_PRODUCT_ID, "8&lyra&0")); // type 9
    fake.plug (device ("1-3", DEVLINK_SECOND_VENDOR_ID, 0x0191, "8&other&0"));                // type 1
    fake.plug (device ("1-4", DEVLINK_SECOND_VENDOR_ID, 0x0191, "8&lyra&0"));                 // type 1
    fake.plug (device ("1-5", DEVLINK_SECOND_VENDOR_ID, 0x0191, "8&lyra&0"));                 // type 1
    fake.plug (device ("1-6", DEVLINK_VENDOR_ID, 0x000E, "8&vega&0"));                        // type 3
    const std::string lyra = "\\\\?\\usb#vid_7a52&pid_0140&mi_00#7&1a2b&0&0000#{x}";
    audio.user["SOFTWARE\\LYRA-55 ASIO|0"] = lyra;
    audio.user["SOFTWARE\\LYRA-55 ASIO|1"] = "\\\\?\\usb#vid_7a52&pid_0140&mi_00#7&5e6f&0&0000";
    audio.user["SOFTWARE\\VEGA-12 ASIO|0"] = "\\\\?\\usb#vid_7a51&pid_0143&mi_00#7&9&0&0000#";
    audio.user["SOFTWARE\\VEGA-12 ASIO|1"] = lyra; // not its product
    audio.machine[enumRoot + "\\USB\\VID_7A52&PID_0140&MI_08\\7&1A2B&0&0008"] = "8&lyra&0";
    audio.machine[enumRoot + "\\USB\\VID_7A51&PID_0143&MI_08\\7&9&0&0008"] = "8&vega&0";

    struct Case
    {
        int set;
        unsigned int index;
        int number;
    };
    const Case cases[] = {
        {1, 0, 2}, {1, 1, 2}, {1, 2, -1}, // "1" has one "#" too few
        {3, 0, 4}, {3, 1, 4}, {2, 0, -1}, {4, 0, -1},
    };
    for (const auto& c : cases)
        EXPECT_EQ (lib->asioDeviceNumber (c.set, c.index), c.number) << c.set << " " << c.index;

    Library withoutAudio (fake.platform()); // as on Linux: nothing
    EXPECT_EQ (withoutAudio.asioDeviceNumber (1, 1), -1);
    DevlinkGuid a = guid (9);
    EXPECT_EQ (withoutAudio.audioIds (0, &a, nullptr), 0);
    EXPECT_EQ (fillOf (a), 0);
}
