#include "editors/core/KeyFunctions.h"

#include <algorithm>
#include <array>
#include <vector>

#include "image/LabelWords.h"

namespace orvalink {

namespace {

struct FunctionSpelling {
    std::string_view compact;  // as CompactKeyName gives it
    KeyFunction function;
};

// Every spelling the matcher knows, in compact form. The IR collections
// write the same key many ways ("KEY_VOLUMEUP", "Vol_up", "VOL+", "vol-up"),
// and the remote's own icons read as words ("vol up", "PRE CH", "ffwd").
constexpr FunctionSpelling kSpellings[] = {
    {"power", KeyFunction::Power},          {"pwr", KeyFunction::Power},
    {"powertoggle", KeyFunction::Power},    {"onoff", KeyFunction::Power},
    {"poweronoff", KeyFunction::Power},     {"standby", KeyFunction::Power},
    {"poweron", KeyFunction::PowerOn},      {"on", KeyFunction::PowerOn},
    {"discreteon", KeyFunction::PowerOn},   {"poweroff", KeyFunction::PowerOff},
    {"off", KeyFunction::PowerOff},         {"discreteoff", KeyFunction::PowerOff},

    {"volumeup", KeyFunction::VolumeUp},    {"volup", KeyFunction::VolumeUp},
    {"vup", KeyFunction::VolumeUp},         {"volplus", KeyFunction::VolumeUp},
    {"volumeplus", KeyFunction::VolumeUp},  {"volinc", KeyFunction::VolumeUp},
    {"volumedown", KeyFunction::VolumeDown}, {"voldown", KeyFunction::VolumeDown},
    {"voldn", KeyFunction::VolumeDown},     {"voldwn", KeyFunction::VolumeDown},
    {"vdown", KeyFunction::VolumeDown},     {"volminus", KeyFunction::VolumeDown},
    {"volumeminus", KeyFunction::VolumeDown}, {"voldec", KeyFunction::VolumeDown},
    {"mute", KeyFunction::Mute},            {"volmute", KeyFunction::Mute},
    {"mutetoggle", KeyFunction::Mute},      {"muting", KeyFunction::Mute},

    {"channelup", KeyFunction::ChannelUp},  {"chup", KeyFunction::ChannelUp},
    {"chanup", KeyFunction::ChannelUp},     {"chnext", KeyFunction::ChannelUp},
    {"channelnext", KeyFunction::ChannelUp}, {"chplus", KeyFunction::ChannelUp},
    {"progup", KeyFunction::ChannelUp},     {"prup", KeyFunction::ChannelUp},
    {"programup", KeyFunction::ChannelUp},  {"pup", KeyFunction::ChannelUp},
    {"channeldown", KeyFunction::ChannelDown}, {"chdown", KeyFunction::ChannelDown},
    {"chdn", KeyFunction::ChannelDown},     {"chandown", KeyFunction::ChannelDown},
    {"chprev", KeyFunction::ChannelDown},   {"channelprev", KeyFunction::ChannelDown},
    {"chminus", KeyFunction::ChannelDown},  {"progdown", KeyFunction::ChannelDown},
    {"prdown", KeyFunction::ChannelDown},   {"programdown", KeyFunction::ChannelDown},
    {"pdown", KeyFunction::ChannelDown},
    {"prech", KeyFunction::PreviousChannel}, {"prevch", KeyFunction::PreviousChannel},
    {"previouschannel", KeyFunction::PreviousChannel}, {"lastch", KeyFunction::PreviousChannel},
    {"last", KeyFunction::PreviousChannel}, {"recall", KeyFunction::PreviousChannel},
    {"flashback", KeyFunction::PreviousChannel}, {"jump", KeyFunction::PreviousChannel},

    {"0", KeyFunction::Digit0}, {"zero", KeyFunction::Digit0},   {"1", KeyFunction::Digit1},
    {"one", KeyFunction::Digit1}, {"2", KeyFunction::Digit2},    {"two", KeyFunction::Digit2},
    {"3", KeyFunction::Digit3}, {"three", KeyFunction::Digit3},  {"4", KeyFunction::Digit4},
    {"four", KeyFunction::Digit4}, {"5", KeyFunction::Digit5},   {"five", KeyFunction::Digit5},
    {"6", KeyFunction::Digit6}, {"six", KeyFunction::Digit6},    {"7", KeyFunction::Digit7},
    {"seven", KeyFunction::Digit7}, {"8", KeyFunction::Digit8},  {"eight", KeyFunction::Digit8},
    {"9", KeyFunction::Digit9}, {"nine", KeyFunction::Digit9},

    {"menu", KeyFunction::Menu},            {"mainmenu", KeyFunction::Menu},
    {"setup", KeyFunction::Menu},           {"settings", KeyFunction::Menu},
    {"ok", KeyFunction::Ok},                {"enter", KeyFunction::Ok},
    {"select", KeyFunction::Ok},            {"sel", KeyFunction::Ok},
    {"okselect", KeyFunction::Ok},          {"confirm", KeyFunction::Ok},
    {"up", KeyFunction::Up},                {"arrowup", KeyFunction::Up},
    {"cursorup", KeyFunction::Up},          {"navup", KeyFunction::Up},
    {"dirup", KeyFunction::Up},             {"down", KeyFunction::Down},
    {"dn", KeyFunction::Down},              {"arrowdown", KeyFunction::Down},
    {"cursordown", KeyFunction::Down},      {"navdown", KeyFunction::Down},
    {"dirdown", KeyFunction::Down},         {"left", KeyFunction::Left},
    {"arrowleft", KeyFunction::Left},       {"cursorleft", KeyFunction::Left},
    {"navleft", KeyFunction::Left},         {"dirleft", KeyFunction::Left},
    {"right", KeyFunction::Right},          {"arrowright", KeyFunction::Right},
    {"cursorright", KeyFunction::Right},    {"navright", KeyFunction::Right},
    {"dirright", KeyFunction::Right},

    {"play", KeyFunction::Play},            {"pause", KeyFunction::Pause},
    {"playpause", KeyFunction::PlayPause},  {"pauseplay", KeyFunction::PlayPause},
    {"stop", KeyFunction::Stop},            {"record", KeyFunction::Record},
    {"rec", KeyFunction::Record},           {"rewind", KeyFunction::Rewind},
    {"rew", KeyFunction::Rewind},           {"rwd", KeyFunction::Rewind},
    {"fastrewind", KeyFunction::Rewind},    {"fastforward", KeyFunction::FastForward},
    {"ffwd", KeyFunction::FastForward},     {"ff", KeyFunction::FastForward},
    {"fwd", KeyFunction::FastForward},      {"forward", KeyFunction::FastForward},
    {"next", KeyFunction::Next},            {"skipnext", KeyFunction::Next},
    {"nexttrack", KeyFunction::Next},       {"skipforward", KeyFunction::Next},
    {"skipfwd", KeyFunction::Next},         {"previous", KeyFunction::Previous},
    {"prev", KeyFunction::Previous},        {"skipprev", KeyFunction::Previous},
    {"previoussong", KeyFunction::Previous}, {"previoustrack", KeyFunction::Previous},
    {"prevtrack", KeyFunction::Previous},   {"skipback", KeyFunction::Previous},
    {"eject", KeyFunction::Eject},          {"ejectcd", KeyFunction::Eject},
    {"openclose", KeyFunction::Eject},

    {"input", KeyFunction::Input},          {"source", KeyFunction::Input},
    {"src", KeyFunction::Input},            {"inputselect", KeyFunction::Input},
    {"av", KeyFunction::Input},             {"tvav", KeyFunction::Input},
    {"inputsource", KeyFunction::Input},    {"switchvideomode", KeyFunction::Input},
    {"guide", KeyFunction::Guide},          {"epg", KeyFunction::Guide},
    {"program", KeyFunction::Guide},        {"info", KeyFunction::Info},
    {"information", KeyFunction::Info},     {"display", KeyFunction::Info},
    {"disp", KeyFunction::Info},            {"osd", KeyFunction::Info},
    {"exit", KeyFunction::Exit},            {"quit", KeyFunction::Exit},
    {"back", KeyFunction::Back},            {"return", KeyFunction::Back},
    {"ret", KeyFunction::Back},             {"home", KeyFunction::Home},

    {"red", KeyFunction::Red},              {"green", KeyFunction::Green},
    {"yellow", KeyFunction::Yellow},        {"yell", KeyFunction::Yellow},
    {"blue", KeyFunction::Blue},
    {"text", KeyFunction::Text},            {"teletext", KeyFunction::Text},
    {"ttx", KeyFunction::Text},             {"subtitle", KeyFunction::Subtitle},
    {"subtitles", KeyFunction::Subtitle},   {"sub", KeyFunction::Subtitle},
    {"audio", KeyFunction::Audio},          {"sleep", KeyFunction::Sleep},
    {"fav", KeyFunction::Favorite},         {"favorite", KeyFunction::Favorite},
    {"favourite", KeyFunction::Favorite},   {"favorites", KeyFunction::Favorite},
    {"list", KeyFunction::List},            {"chlist", KeyFunction::List},
    {"channellist", KeyFunction::List},
};

constexpr std::pair<KeyFunction, std::string_view> kNames[] = {
    {KeyFunction::Power, "power"},          {KeyFunction::PowerOn, "power on"},
    {KeyFunction::PowerOff, "power off"},   {KeyFunction::VolumeUp, "volume up"},
    {KeyFunction::VolumeDown, "volume down"}, {KeyFunction::Mute, "mute"},
    {KeyFunction::ChannelUp, "channel up"}, {KeyFunction::ChannelDown, "channel down"},
    {KeyFunction::PreviousChannel, "previous channel"},
    {KeyFunction::Digit0, "digit 0"}, {KeyFunction::Digit1, "digit 1"}, {KeyFunction::Digit2, "digit 2"},
    {KeyFunction::Digit3, "digit 3"}, {KeyFunction::Digit4, "digit 4"}, {KeyFunction::Digit5, "digit 5"},
    {KeyFunction::Digit6, "digit 6"}, {KeyFunction::Digit7, "digit 7"}, {KeyFunction::Digit8, "digit 8"},
    {KeyFunction::Digit9, "digit 9"},
    {KeyFunction::Menu, "menu"}, {KeyFunction::Ok, "OK"}, {KeyFunction::Up, "up"}, {KeyFunction::Down, "down"},
    {KeyFunction::Left, "left"}, {KeyFunction::Right, "right"}, {KeyFunction::Play, "play"},
    {KeyFunction::Pause, "pause"}, {KeyFunction::PlayPause, "play/pause"}, {KeyFunction::Stop, "stop"},
    {KeyFunction::Record, "record"}, {KeyFunction::Rewind, "rewind"}, {KeyFunction::FastForward, "fast forward"},
    {KeyFunction::Next, "next"}, {KeyFunction::Previous, "previous"}, {KeyFunction::Eject, "eject"},
    {KeyFunction::Input, "input"}, {KeyFunction::Guide, "guide"}, {KeyFunction::Info, "info"},
    {KeyFunction::Exit, "exit"}, {KeyFunction::Back, "back"}, {KeyFunction::Home, "home"},
    {KeyFunction::Red, "red"}, {KeyFunction::Green, "green"}, {KeyFunction::Yellow, "yellow"},
    {KeyFunction::Blue, "blue"}, {KeyFunction::Text, "text"}, {KeyFunction::Subtitle, "subtitle"},
    {KeyFunction::Audio, "audio"}, {KeyFunction::Sleep, "sleep"}, {KeyFunction::Favorite, "favorite"},
    {KeyFunction::List, "list"},
};

// Leading words that only say the name is a key's ("KEY_", "BTN_", "Num_").
constexpr std::string_view kKeyWords[] = {"key", "btn", "button", "kc", "num", "numeric", "digit", "number", "cmd"};
// Leading words that name the device a key belongs to ("TV power", "DVD_PLAY"):
// left out when the whole name matches nothing.
constexpr std::string_view kDeviceWords[] = {"tv",   "vcr",   "dvd", "sat",  "cable", "stb",  "amp",
                                            "receiver", "bd", "cd", "aux", "tape", "tuner", "remote"};

template <size_t N>
bool OneOf(std::string_view word, const std::string_view (&set)[N]) {
    return std::find(std::begin(set), std::end(set), word) != std::end(set);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }
// Anything but a letter, a digit and '+' parts words (blanks, '_', '-', '.',
// '/', ':', and the bytes of characters beyond ASCII).
bool IsSeparator(char c) { return !IsDigit(c) && !(c >= 'a' && c <= 'z') && !(c >= 'A' && c <= 'Z') && c != '+'; }
char Lower(char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; }

// The words of a name: split at separators and between letters and digits;
// '+' is the word "up", a '-' after a word with nothing but separators
// after it "down" ("ch-", "VOL -"; "-/--" is no word at all).
std::vector<std::string> WordsOf(std::string_view name) {
    std::vector<std::string> words;
    std::string word;
    auto end = [&] {
        if (!word.empty()) words.push_back(std::move(word));
        word.clear();
    };
    for (size_t i = 0; i < name.size(); ++i) {
        const char c = Lower(name[i]);
        if (c == '+') {
            end();
            words.emplace_back("up");
        } else if (c == '-' && (!word.empty() || !words.empty()) &&
                   std::all_of(name.begin() + std::ptrdiff_t(i) + 1, name.end(), [](char n) { return IsSeparator(n); })) {
            end();
            words.emplace_back("down");
            break;
        } else if (IsSeparator(c)) {
            end();
        } else {
            if (!word.empty() && IsDigit(word.back()) != IsDigit(c)) end();
            word += c;
        }
    }
    end();
    // "KEY_", "Num_" before the words that tell the key, never all of them.
    size_t first = 0;
    while (first + 1 < words.size() && OneOf(words[first], kKeyWords)) ++first;
    words.erase(words.begin(), words.begin() + std::ptrdiff_t(first));
    return words;
}

std::string Joined(const std::vector<std::string>& words, size_t from) {
    std::string s;
    for (size_t i = from; i < words.size(); ++i) s += words[i];
    return s;
}

KeyFunction Lookup(std::string_view compact) {
    for (const FunctionSpelling& s : kSpellings)
        if (s.compact == compact) return s.function;
    return KeyFunction::None;
}

}  // namespace

std::string_view KeyFunctionName(KeyFunction function) {
    for (const auto& [f, name] : kNames)
        if (f == function) return name;
    return {};
}

std::string CompactKeyName(std::string_view name) { return Joined(WordsOf(name), 0); }

KeyFunction FunctionOfName(std::string_view name) {
    const std::vector<std::string> words = WordsOf(name);
    for (size_t from = 0; from < words.size(); ++from) {
        const KeyFunction f = Lookup(Joined(words, from));
        if (f != KeyFunction::None) return f;
        if (!OneOf(words[from], kDeviceWords)) break;
    }
    return KeyFunction::None;
}

KeyFunction FunctionOfKey(const KeyInfo& key) { return FunctionOfName(LabelWords(key.label)); }

}  // namespace orvalink
