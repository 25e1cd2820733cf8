// The engine's model: configuration, clock, clip lists, transport, timeline
// and the two logs. Callers hold Engine::mutex.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "engine_internal.h"
#include "kxr/pacer.h"
#include "kxr/reelio.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "kxr/tempex.h"
#include "platform/kxr_path.h"
#include "platform/kxr_time.h"

namespace kxrengine {

namespace {

const char* const kEngineKey = "KXR\\Engine";
const char* const kClipsKey = "KXR\\Engine\\Clips";

uint32_t ReadDword(const std::string& key, const char* name, uint32_t fallback) {
    uint32_t value = 0;
    return rvCFGValueDword(RV_CFG_ROOT, key.c_str(), name, &value, 0) == 0 ? value : fallback;
}

std::string ReadString(const std::string& key, const char* name, const std::string& fallback) {
    char buffer[kPathSize] = {};
    uint32_t size = sizeof buffer;
    if (rvCFGValueString(RV_CFG_ROOT, key.c_str(), name, buffer, &size, 0) != 0) {
        return fallback;
    }
    return buffer;
}

bool EndsWithNoCase(const std::string& text, const char* tail) {
    const size_t n = std::strlen(tail);
    if (text.size() < n) {
        return false;
    }
    for (size_t i = 0; i < n; ++i) {
        const char a =
            static_cast<char>(std::tolower(static_cast<unsigned char>(text[text.size() - n + i])));
        if (a != tail[i]) {
            return false;
        }
    }
    return true;
}

// Clip names travel in URLs and 8-byte fields: keep them to safe characters.
std::string CleanName(const std::string& wanted) {
    std::string name;
    for (char c : wanted) {
        if (name.size() == kClipNameWidth) {
            break;
        }
        const bool safe = std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-';
        name += safe ? c : '_';
    }
    return name.empty() ? std::string("clip") : name;
}

bool IsDiscrete(uint32_t type) {
    uint32_t flags = 0;
    return type != RL_UNKNOWN &&
           rlGetFileTypeInfo(type, nullptr, nullptr, nullptr, &flags, nullptr) == 0 &&
           (flags & RL_DISCRETE) != 0;
}

bool IsMedia(uint32_t type) {
    uint32_t flags = 0;
    return type != RL_UNKNOWN &&
           rlGetFileTypeInfo(type, nullptr, nullptr, nullptr, &flags, nullptr) == 0 &&
           (flags & (RL_DISCRETE | RL_VIDEO | RL_AUDIO | RL_CONTAINER)) != 0;
}

// Length in frames and the streams of a media file, from the media library.
void Inspect(const std::string& path, CachedFile* info) {
    info->length = -1;
    info->videoFlag = 1;
    info->audioMask = 0;
    RLHANDLE file =
        rlOpen(path.c_str(), RV_GENERIC_READ, 1, nullptr, RV_OPEN_EXISTING, 128, nullptr);
    if (file == nullptr) {
        return;
    }
    RLStreamInfo stream{};
    if (rlGetFileInfo(&file, RL_UNKNOWN, nullptr, &stream, nullptr, nullptr) == 0 &&
        stream.length != RL_UNKNOWN && stream.length > 0 && stream.length < 0x7FFFFFFFu) {
        info->length = static_cast<int32_t>(stream.length);
    }
    RLChannelCounts counts{};
    if (rlChannels(&file, 0, &counts, 0) == 0) {
        info->videoFlag = counts.video > 0 ? 1u : 0u;
        const uint32_t audio =
            std::min<uint32_t>(counts.audio == RL_UNKNOWN ? 0 : counts.audio, 32);
        info->audioMask = audio >= 32 ? 0xFFFFFFFFu : (1u << audio) - 1u;
    }
    rlClose(&file);
}

struct Listed {
    std::string name;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
};

std::vector<Listed> ListFiles(const std::string& pattern) {
    std::vector<Listed> files;
    RVFindData data{};
    RVHANDLE search = rvOSFindFirstFile(pattern.c_str(), &data);
    if (search == RV_INVALID_HANDLE) {
        return files;
    }
    do {
        if ((data.attributes & RV_FILE_ATTRIBUTE_DIRECTORY) == 0) {
            files.push_back({data.name, data.size, data.lastWriteTime});
        }
    } while (rvOSFindNextFile(search, &data) != 0);
    rvOSFindClose(search);
    return files;
}

std::string DirOf(const std::string& path) {
    const size_t cut = path.find_last_of("/\\");
    return cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
}

// The frame files of a sequence wildcard such as /a/clip*.dpx, in frame order.
std::vector<std::string> SequenceMembers(const std::string& wildcard) {
    std::vector<std::pair<uint32_t, std::string>> numbered;
    const std::string dir = DirOf(wildcard);
    for (const Listed& file : ListFiles(wildcard)) {
        char base[RV_MAX_FNAME] = {};
        uint32_t digits = 0;
        const uint32_t number = GetBaseName(file.name.c_str(), base, &digits);
        numbered.emplace_back(number, dir + file.name);
    }
    std::sort(numbered.begin(), numbered.end());
    std::vector<std::string> members;
    for (auto& entry : numbered) {
        members.push_back(std::move(entry.second));
    }
    return members;
}

const char* const kStateWords[] = {"Stopped", "Cued", "Playing", "Paused", "Recording", "Ejected"};

} // namespace

Engine& TheEngine() {
    static Engine engine;
    return engine;
}

void WallClock(uint16_t fields[7]) {
    using namespace std::chrono;
    const auto now = system_clock::now().time_since_epoch();
    const int64_t seconds = duration_cast<std::chrono::seconds>(now).count();
    const int64_t millis = duration_cast<milliseconds>(now).count() % 1000;
    kxr::platform::CalendarTime cal;
    if (!kxr::platform::LocalCalendar(seconds, &cal)) {
        kxr::platform::UtcCalendar(seconds, &cal);
    }
    fields[0] = static_cast<uint16_t>(cal.year);
    fields[1] = static_cast<uint16_t>(cal.month);
    fields[2] = static_cast<uint16_t>(cal.day);
    fields[3] = static_cast<uint16_t>(cal.hour);
    fields[4] = static_cast<uint16_t>(cal.minute);
    fields[5] = static_cast<uint16_t>(cal.second);
    fields[6] = static_cast<uint16_t>(millis / 10);
}

std::string JoinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) {
        return name;
    }
    if (kxr::platform::IsPathSeparator(dir.back())) {
        return dir + name;
    }
    return dir + kxr::platform::kPathSeparator + name;
}

std::string PiconPathFor(const std::string& mediaPath) {
    const size_t slash = mediaPath.find_last_of("/\\");
    const size_t nameStart = slash == std::string::npos ? 0 : slash + 1;
    std::string stem = mediaPath.substr(nameStart);
    const size_t star = stem.find('*');
    if (star != std::string::npos) {
        stem.erase(star);
    } else {
        const size_t dot = stem.find_last_of('.');
        if (dot != std::string::npos && dot > 0) {
            stem.erase(dot);
        }
    }
    return mediaPath.substr(0, nameStart) + stem + ".picon.jpg";
}

void RateOfTcType(uint32_t tcType, uint32_t* rate, uint32_t* scale) {
    *scale = 1;
    switch (tcType & TEMPEX_TYPE_MASK) {
    case kTcFilm:
    case kTcFilmDrop:
        *rate = 24;
        break;
    case kTcNonDrop:
        *rate = 30;
        break;
    case kTcDropFrame:
        *rate = 30000;
        *scale = 1001;
        break;
    case kTc50:
        *rate = 50;
        break;
    case kTc5994:
        *rate = 60000;
        *scale = 1001;
        break;
    case kTc60:
        *rate = 60;
        break;
    case kTc2398:
        *rate = 24000;
        *scale = 1001;
        break;
    default: // pal, frames and anything unknown
        *rate = 25;
        break;
    }
}

// ---- configuration and clock ----

void Engine::EnsureLoaded() {
    if (!loaded_) {
        Load();
    }
}

void Engine::Reload() {
    Load();
}

void Engine::Load() {
    loaded_ = true;
    deterministic = ReadDword(kEngineKey, "Deterministic", 0) == 1;
    virtualMs_ = 0;
    uint32_t count = ReadDword(kEngineKey, "Channels", 4);
    count = std::min(count, kMaxChannels);
    internalChannels_ = ReadDword(kEngineKey, "InternalChannels", count);
    recordDir = ReadString("KXR\\Internal0", "Dir", "");
    std::string fallbackLogDir;
    std::error_code ec;
    const auto temp = std::filesystem::temp_directory_path(ec);
    if (!ec) {
        fallbackLogDir = temp.string();
    }
    logDir = ReadString(kEngineKey, "LogDir", fallbackLogDir);

    channels_.assign(count, Channel{});
    const uint32_t now = Now();
    for (uint32_t i = 0; i < count; ++i) {
        ReadChannel(i, &channels_[i]);
        channels_[i].lastChangeMs = now;
        channels_[i].lastXferMs = now;
        channels_[i].anchorMs = now;
    }

    configuredClips_.clear();
    char name[RV_MAX_PATH] = {};
    std::string previous;
    uint32_t type = 0;
    std::vector<const Clip*> none;
    while (rvCFGGetNext(RV_CFG_ROOT, kClipsKey, name, previous.c_str(), &type) != RV_CFG_NO_ENTRY) {
        previous = name;
        if (type != RV_CFG_TYPE_STRING) {
            continue;
        }
        const std::string path = ReadString(kClipsKey, name, "");
        if (path.empty()) {
            continue;
        }
        Clip clip = MakeClip(UniqueName(name, none, configuredClips_), path);
        configuredClips_.push_back(std::move(clip));
    }

    dirClips_.clear();
    fileCache_.clear();
    nameOfPath_.clear();
    Rescan();

    errors_.clear();
    errorLogOn_ = true;
    errorLogMs_ = now;
    events_.clear();
}

void Engine::ReadChannel(uint32_t index, Channel* c) {
    const std::string key = std::string(kEngineKey) + "\\Channel" + std::to_string(index);
    ChannelSettings& s = c->settings;
    s.name = ReadString(key, "Name", "Channel " + std::to_string(index + 1));
    s.type = static_cast<int32_t>(ReadDword(key, "Type", 1));
    s.mode = static_cast<int32_t>(ReadDword(key, "Mode", 0));
    s.tcType = ReadDword(key, "TcType", 8);
    s.signalFormat = ReadDword(key, "SignalFormat", s.signalFormat);
    s.compression = ReadDword(key, "Compression", s.compression);
    s.bitDepth = ReadDword(key, "BitDepth", s.bitDepth);
    s.container = ReadDword(key, "Container", s.container);
    s.connectorVariant = ReadDword(key, "ConnectorVariant", s.connectorVariant);
    s.videoInput = ReadDword(key, "VideoInput", s.videoInput);
    s.videoOutput = ReadDword(key, "VideoOutput", s.videoOutput);
    s.audioInput = ReadDword(key, "AudioInput", s.audioInput);
    s.audioOutput = ReadDword(key, "AudioOutput", s.audioOutput);
    s.audioLevel = ReadDword(key, "AudioLevel", s.audioLevel);
    s.videoLevel = ReadDword(key, "VideoLevel", s.videoLevel);
    s.setup = ReadDword(key, "Setup", s.setup);
    s.hue = ReadDword(key, "Hue", s.hue);
    s.chroma = ReadDword(key, "Chroma", s.chroma);
    s.reference = ReadDword(key, "Reference", s.reference);
    s.videoMask = ReadDword(key, "VideoMask", s.videoMask);
    s.audioMask = ReadDword(key, "AudioMask", s.audioMask);
    s.infoMask = ReadDword(key, "InfoMask", s.infoMask);
    RateOfTcType(s.tcType, &c->rate, &c->scale);
}

uint32_t Engine::Now() const {
    return deterministic ? virtualMs_ : vsyncGetCurMs();
}

bool Engine::AdvanceClock(uint32_t milliseconds) {
    if (!deterministic) {
        return false;
    }
    virtualMs_ += milliseconds;
    return true;
}

Channel* Engine::Find(int32_t channel) {
    if (channel < 0 || static_cast<size_t>(channel) >= channels_.size()) {
        return nullptr;
    }
    return &channels_[static_cast<size_t>(channel)];
}

Channel* Engine::FindForCommand(int32_t channel, const char* what) {
    Channel* c = Find(channel);
    if (c == nullptr) {
        Fail(kErrNoSuchChannel,
             std::string(what) + ": channel " + std::to_string(channel) + " does not exist");
    }
    return c;
}

// ---- clips ----

Clip Engine::MakeClip(const std::string& name, const std::string& path) {
    Clip clip;
    clip.name = name;
    clip.path = path;
    if (path.find('*') != std::string::npos) {
        clip.members = SequenceMembers(path);
        clip.length = clip.members.empty() ? -1 : static_cast<int32_t>(clip.members.size());
        clip.videoFlag = 1;
        clip.audioMask = 0;
        return clip;
    }
    CachedFile info;
    Inspect(path, &info);
    clip.length = info.length;
    clip.videoFlag = info.videoFlag;
    clip.audioMask = info.audioMask;
    return clip;
}

std::string Engine::UniqueName(const std::string& wanted, const std::vector<const Clip*>& taken,
                               const std::vector<Clip>& more) const {
    auto used = [&](const std::string& name) {
        for (const Clip* clip : taken) {
            if (strcmpClip(clip->name.c_str(), name.c_str()) == 0) {
                return true;
            }
        }
        for (const Clip& clip : more) {
            if (strcmpClip(clip.name.c_str(), name.c_str()) == 0) {
                return true;
            }
        }
        return false;
    };
    const std::string base = CleanName(wanted);
    if (!used(base)) {
        return base;
    }
    for (int n = 1; n < 1000000; ++n) {
        const std::string tail = std::to_string(n);
        const std::string name = base.substr(0, kClipNameWidth - tail.size()) + tail;
        if (!used(name)) {
            return name;
        }
    }
    return base;
}

void Engine::Rescan() {
    if (recordDir.empty()) {
        if (!dirClips_.empty()) {
            dirClips_.clear();
        }
        return;
    }
    // Group the directory's media files: frame files with a common base and
    // extension form one sequence clip.
    struct Group {
        std::string path;
        std::vector<std::string> members;
        uint64_t size = 0;
        uint64_t lastWrite = 0;
    };
    std::vector<Group> groups;
    std::map<std::string, size_t> sequenceIndex;
    for (const Listed& file : ListFiles(JoinPath(recordDir, "*"))) {
        if (EndsWithNoCase(file.name, ".picon.jpg") || file.name[0] == '.') {
            continue;
        }
        const std::string full = JoinPath(recordDir, file.name);
        const uint32_t type = rlGuessFileType(full.c_str(), 0);
        if (!IsMedia(type)) {
            continue;
        }
        char base[RV_MAX_FNAME] = {};
        uint32_t digits = 0;
        GetBaseName(file.name.c_str(), base, &digits);
        if (IsDiscrete(type) && digits > 0) {
            const size_t dot = file.name.find_last_of('.');
            const std::string ext = dot == std::string::npos ? "" : file.name.substr(dot);
            const std::string wildcard = JoinPath(recordDir, std::string(base) + "*" + ext);
            auto found = sequenceIndex.find(wildcard);
            if (found == sequenceIndex.end()) {
                sequenceIndex[wildcard] = groups.size();
                groups.push_back({wildcard, {}, 0, 0});
                found = sequenceIndex.find(wildcard);
            }
            Group& g = groups[found->second];
            g.members.push_back(full);
            g.size += file.size;
            g.lastWrite = std::max(g.lastWrite, file.lastWrite);
            continue;
        }
        groups.push_back({full, {}, file.size, file.lastWrite});
    }

    std::vector<Clip> clips;
    std::vector<const Clip*> taken;
    for (const Clip& clip : configuredClips_) {
        taken.push_back(&clip);
    }
    bool changed = groups.size() != dirClips_.size();
    for (Group& g : groups) {
        Clip clip;
        clip.path = g.path;
        if (!g.members.empty()) {
            clip.members = SequenceMembers(g.path);
            clip.length = static_cast<int32_t>(clip.members.size());
            clip.audioMask = 0;
        } else {
            CachedFile& cached = fileCache_[g.path];
            if (!cached.inspected || cached.size != g.size || cached.lastWrite != g.lastWrite) {
                cached.inspected = true;
                cached.size = g.size;
                cached.lastWrite = g.lastWrite;
                Inspect(g.path, &cached);
                changed = true;
            }
            clip.length = cached.length;
            clip.videoFlag = cached.videoFlag;
            clip.audioMask = cached.audioMask;
        }
        // A file keeps its name across scans while that name stays free.
        auto known = nameOfPath_.find(g.path);
        std::string wanted;
        if (known != nameOfPath_.end()) {
            wanted = known->second;
        } else {
            const size_t slash = g.path.find_last_of("/\\");
            std::string stem = g.path.substr(slash == std::string::npos ? 0 : slash + 1);
            const size_t cut = stem.find_first_of("*.");
            if (cut != std::string::npos && cut > 0) {
                stem.erase(cut);
            }
            wanted = stem;
            changed = true;
        }
        clip.name = UniqueName(wanted, taken, clips);
        nameOfPath_[g.path] = clip.name;
        clips.push_back(std::move(clip));
    }
    if (!changed) {
        for (size_t i = 0; i < clips.size(); ++i) {
            if (clips[i].path != dirClips_[i].path || clips[i].length != dirClips_[i].length) {
                changed = true;
                break;
            }
        }
    }
    dirClips_ = std::move(clips);
    if (changed) {
        const uint32_t now = Now();
        for (Channel& c : channels_) {
            c.lastXferMs = now;
        }
    }
}

std::vector<const Clip*> Engine::ClipsOf(const Channel& c) {
    std::vector<const Clip*> list;
    for (const Clip& clip : configuredClips_) {
        list.push_back(&clip);
    }
    for (const Clip& clip : dirClips_) {
        list.push_back(&clip);
    }
    for (const Clip& clip : c.ownClips) {
        list.push_back(&clip);
    }
    return list;
}

const Clip* Engine::FindClip(const Channel& c, const std::string& name) {
    if (name.empty()) {
        return nullptr;
    }
    for (const Clip* clip : ClipsOf(c)) {
        if (strcmpClip(clip->name.c_str(), name.c_str()) == 0) {
            return clip;
        }
    }
    return nullptr;
}

const Clip* Engine::FindClipByPath(const Channel& c, const std::string& path) {
    if (path.empty()) {
        return nullptr;
    }
    const std::string wanted = kxr::platform::NativePath(path);
    for (const Clip* clip : ClipsOf(c)) {
        if (!clip->path.empty() && kxr::platform::NativePath(clip->path) == wanted) {
            return clip;
        }
    }
    return nullptr;
}

int32_t Engine::ClipLength(const Channel& c, const Clip& clip) const {
    if (clip.length > 0) {
        return clip.length;
    }
    return static_cast<int32_t>(kDefaultClipSeconds * c.rate / c.scale);
}

std::vector<TimelineEntry> Engine::Timeline(const Channel& c) {
    std::vector<TimelineEntry> entries;
    int64_t at = 0;
    for (const Clip* clip : ClipsOf(c)) {
        const int32_t length = ClipLength(c, *clip);
        if (at + length > 0x7FFFFFFF) {
            break;
        }
        entries.push_back({clip, static_cast<int32_t>(at), 0, length});
        at += length;
    }
    return entries;
}

bool Engine::EntryAt(const Channel& c, int32_t position, TimelineEntry* out) {
    for (const TimelineEntry& e : Timeline(c)) {
        if (position >= e.position && position < e.position + (e.out - e.in)) {
            *out = e;
            return true;
        }
    }
    return false;
}

int32_t Engine::TimelinePositionOf(const Channel& c, const Clip& clip) {
    for (const TimelineEntry& e : Timeline(c)) {
        if (e.clip == &clip) {
            return e.position;
        }
    }
    return -1;
}

bool Engine::FrameOf(const Clip& clip, int32_t frame, FrameSource* out) {
    if (!clip.members.empty()) {
        const size_t index =
            std::min<size_t>(static_cast<size_t>(std::max(frame, 0)), clip.members.size() - 1);
        out->file = clip.members[index];
        out->frame = 0;
        return true;
    }
    if (clip.path.empty()) {
        return false;
    }
    out->file = clip.path;
    out->frame = std::max(frame, 0);
    return true;
}

bool Engine::CurrentFrame(Channel& c, FrameSource* out) {
    if (c.state == State::Ejected || c.state == State::Recording) {
        return false;
    }
    const int32_t position = Position(c);
    if (!c.clip.empty()) {
        const Clip* clip = FindClip(c, c.clip);
        return clip != nullptr && FrameOf(*clip, position, out);
    }
    TimelineEntry entry;
    if (!EntryAt(c, position, &entry)) {
        return false;
    }
    return FrameOf(*entry.clip, position - entry.position + entry.in, out);
}

// ---- transport ----

void Engine::Touch(Channel& c) {
    c.lastChangeMs = Now();
}

void Engine::Anchor(Channel& c, int64_t frame) {
    c.anchorFrame = frame;
    c.anchorMs = Now();
}

bool Engine::Range(Channel& c, int32_t* in, int32_t* out) {
    *in = c.rangeIn;
    *out = c.rangeOut;
    if (c.clip.empty()) {
        // The whole timeline is the material when no clip is loaded.
        const auto entries = Timeline(c);
        *in = 0;
        *out = entries.empty() ? 0 : entries.back().position + entries.back().out;
        if (c.rangeOut > c.rangeIn && c.rangeOut <= *out) {
            *in = c.rangeIn;
            *out = c.rangeOut;
        }
    }
    return *out > *in;
}

void Engine::Update(Channel& c) {
    if (c.state != State::Playing && c.state != State::Recording) {
        return;
    }
    const uint32_t now = Now();
    uint32_t elapsed = now - c.anchorMs;
    // Long stretches are taken an hour at a time so the product stays in range.
    const uint32_t chunk = 3600000;
    const int64_t den = static_cast<int64_t>(c.scale) * 1000 * kNormalSpeed;
    int64_t frame = c.anchorFrame;
    uint32_t base = c.anchorMs;
    while (elapsed > chunk) {
        frame += static_cast<int64_t>(chunk) * c.rate * c.speed / den;
        base += chunk;
        elapsed -= chunk;
    }
    if (base != c.anchorMs) {
        c.anchorFrame = frame;
        c.anchorMs = base;
    }
    frame += static_cast<int64_t>(elapsed) * c.rate * c.speed / den;
    if (c.state == State::Recording) {
        return;
    }
    int32_t in = 0;
    int32_t out = 0;
    if (!Range(c, &in, &out)) {
        c.state = State::Stopped;
        c.speed = 0;
        Anchor(c, 0);
        Touch(c);
        return;
    }
    if (frame >= in && frame < out) {
        return;
    }
    if (c.loop) {
        const int64_t span = out - in;
        int64_t offset = (frame - in) % span;
        if (offset < 0) {
            offset += span;
        }
        c.anchorFrame = in + offset;
        c.anchorMs = now;
        return;
    }
    // Reaching either end stops the channel there.
    c.state = State::Stopped;
    c.speed = 0;
    c.anchorFrame = frame >= out ? out - 1 : in;
    c.anchorMs = now;
    Touch(c);
    Event(static_cast<int32_t>(&c - channels_.data()), "End");
}

int32_t Engine::Position(Channel& c) {
    Update(c);
    if (c.state == State::Playing || c.state == State::Recording) {
        const int64_t den = static_cast<int64_t>(c.scale) * 1000 * kNormalSpeed;
        const int64_t frame =
            c.anchorFrame + static_cast<int64_t>(Now() - c.anchorMs) * c.rate * c.speed / den;
        return static_cast<int32_t>(std::clamp<int64_t>(frame, INT32_MIN, INT32_MAX));
    }
    return static_cast<int32_t>(c.anchorFrame);
}

const char* Engine::StateText(const Channel& c) const {
    if (c.state == State::Playing && c.speed != kNormalSpeed) {
        return c.speed == -kNormalSpeed ? "Reverse" : "Shuttle";
    }
    return kStateWords[static_cast<int>(c.state)];
}

int32_t Engine::StateCode(const Channel& c) const {
    switch (c.state) {
    case State::Stopped:
        return kCmdStop;
    case State::Cued:
    case State::Paused:
        return kCmdPause;
    case State::Playing:
        return kCmdPlay;
    case State::Recording:
        return kCmdRecord;
    case State::Ejected:
        return kCmdEject;
    }
    return kCmdStop;
}

std::string Engine::CurrentClipName(Channel& c) {
    if (c.state == State::Recording || c.state == State::Ejected) {
        return c.clip;
    }
    if (!c.clip.empty()) {
        return c.clip;
    }
    TimelineEntry entry;
    return EntryAt(c, Position(c), &entry) ? entry.clip->name : std::string();
}

int32_t Engine::MoveTo(Channel& c, int32_t ch, int64_t frame, const char* what) {
    int32_t in = 0;
    int32_t out = 0;
    if (c.state == State::Ejected || c.state == State::Recording) {
        Fail(kErrBadArgument,
             std::string(what) + ": channel " + std::to_string(ch) + " is " + StateText(c));
        return -1;
    }
    if (!Range(c, &in, &out) || frame < in || frame >= out) {
        Fail(kErrSeekBeyondClip, std::string(what) + ": frame " + std::to_string(frame) +
                                     " is outside " + std::to_string(in) + " to " +
                                     std::to_string(out - 1) + " on channel " + std::to_string(ch));
        return -1;
    }
    Anchor(c, frame);
    Touch(c);
    Event(ch, "Seek");
    return 0;
}

int32_t Engine::Play(int32_t ch, int32_t speed) {
    Channel* c = FindForCommand(ch, "Play");
    if (c == nullptr) {
        return -1;
    }
    if (c->state == State::Ejected) {
        Fail(kErrNoMedia, "Play: channel " + std::to_string(ch) + " is ejected");
        return -1;
    }
    if (c->state == State::Recording) {
        Fail(kErrBadArgument, "Play: channel " + std::to_string(ch) + " is recording");
        return -1;
    }
    int32_t in = 0;
    int32_t out = 0;
    if (!Range(*c, &in, &out)) {
        Fail(kErrNoMedia, "Play: nothing to play on channel " + std::to_string(ch));
        return -1;
    }
    const int32_t position = Position(*c);
    speed = std::clamp(speed, -kMaxSpeed, kMaxSpeed);
    Anchor(*c, std::clamp(position, in, out - 1));
    c->speed = speed;
    c->state = speed == 0 ? State::Paused : State::Playing;
    Touch(*c);
    Event(ch, speed == 0 ? "Pause" : "Play");
    return 0;
}

int32_t Engine::LoadClip(int32_t ch, const std::string& name) {
    Channel* c = FindForCommand(ch, "Load");
    if (c == nullptr) {
        return -1;
    }
    const Clip* clip = FindClip(*c, name);
    if (clip == nullptr) {
        // The file may have arrived since the last look.
        Rescan();
        clip = FindClip(*c, name);
    }
    if (clip == nullptr) {
        Fail(kErrUnknownClip,
             "Load: unknown clip \"" + name + "\" on channel " + std::to_string(ch));
        return -1;
    }
    if (c->state == State::Recording) {
        Fail(kErrBadArgument, "Load: channel " + std::to_string(ch) + " is recording");
        return -1;
    }
    c->clip = clip->name;
    c->rangeIn = 0;
    c->rangeOut = ClipLength(*c, *clip);
    c->loop = false;
    c->state = State::Cued;
    c->speed = 0;
    Anchor(*c, 0);
    Touch(*c);
    Event(ch, "Load");
    return 0;
}

int32_t Engine::Pause(int32_t ch) {
    Channel* c = FindForCommand(ch, "Pause");
    if (c == nullptr) {
        return -1;
    }
    if (c->state == State::Ejected || c->state == State::Recording) {
        Fail(kErrBadArgument, "Pause: channel " + std::to_string(ch) + " is " + StateText(*c));
        return -1;
    }
    const int32_t position = Position(*c);
    c->state = State::Paused;
    c->speed = 0;
    Anchor(*c, position);
    Touch(*c);
    Event(ch, "Pause");
    return 0;
}

int32_t Engine::Stop(int32_t ch) {
    Channel* c = FindForCommand(ch, "Stop");
    if (c == nullptr) {
        return -1;
    }
    if (c->state == State::Recording) {
        return RecordStop(ch, "");
    }
    if (c->state == State::Ejected) {
        return 0;
    }
    const int32_t position = Position(*c);
    c->state = State::Stopped;
    c->speed = 0;
    Anchor(*c, position);
    Touch(*c);
    Event(ch, "Stop");
    return 0;
}

int32_t Engine::Seek(int32_t ch, int64_t frame) {
    Channel* c = FindForCommand(ch, "Seek");
    return c == nullptr ? -1 : MoveTo(*c, ch, frame, "Seek");
}

int32_t Engine::SeekRelative(int32_t ch, int64_t frames) {
    Channel* c = FindForCommand(ch, "Seek");
    return c == nullptr ? -1 : MoveTo(*c, ch, Position(*c) + frames, "Seek");
}

int32_t Engine::Record(int32_t ch) {
    Channel* c = FindForCommand(ch, "Record");
    if (c == nullptr) {
        return -1;
    }
    if (c->state == State::Recording) {
        return 0;
    }
    c->state = State::Recording;
    c->speed = kNormalSpeed;
    c->clip.clear();
    c->loop = false;
    Anchor(*c, 0);
    Touch(*c);
    Event(ch, "Record");
    return 0;
}

int32_t Engine::RecordStop(int32_t ch, const std::string& name) {
    Channel* c = FindForCommand(ch, "RecStop");
    if (c == nullptr) {
        return -1;
    }
    if (c->state != State::Recording) {
        Fail(kErrNotRecording, "RecStop: channel " + std::to_string(ch) + " is not recording");
        return -1;
    }
    const int32_t frames = std::max(Position(*c), 1);
    Clip clip;
    clip.name = UniqueName(name.empty() ? "REC" + std::to_string(c->ownClips.size() + 1) : name,
                           ClipsOf(*c), {});
    clip.length = frames;
    clip.videoFlag = 1;
    clip.audioMask = c->settings.audioMask;
    c->ownClips.push_back(clip);
    c->clip = clip.name;
    c->rangeIn = 0;
    c->rangeOut = frames;
    c->state = State::Stopped;
    c->speed = 0;
    Anchor(*c, 0);
    Touch(*c);
    c->lastXferMs = Now();
    Event(ch, "RecStop");
    return 0;
}

int32_t Engine::Eject(int32_t ch) {
    Channel* c = FindForCommand(ch, "Eject");
    if (c == nullptr) {
        return -1;
    }
    if (c->state == State::Recording) {
        RecordStop(ch, "");
    }
    c->state = State::Ejected;
    c->speed = 0;
    c->clip.clear();
    c->rangeIn = c->rangeOut = 0;
    c->loop = false;
    Anchor(*c, 0);
    Touch(*c);
    Event(ch, "Eject");
    return 0;
}

int32_t Engine::SetPlayRange(int32_t ch, int32_t in, int32_t out) {
    Channel* c = FindForCommand(ch, "Play");
    if (c == nullptr) {
        return -1;
    }
    int32_t fullIn = 0;
    int32_t fullOut = 0;
    const int32_t keepIn = c->rangeIn;
    const int32_t keepOut = c->rangeOut;
    c->rangeIn = c->rangeOut = 0;
    if (!c->clip.empty()) {
        const Clip* clip = FindClip(*c, c->clip);
        c->rangeOut = clip != nullptr ? ClipLength(*c, *clip) : 0;
    }
    Range(*c, &fullIn, &fullOut);
    if (in < fullIn || out > fullOut || in >= out) {
        c->rangeIn = keepIn;
        c->rangeOut = keepOut;
        Fail(kErrSeekBeyondClip, "Play: range " + std::to_string(in) + " to " +
                                     std::to_string(out) + " is outside the material on channel " +
                                     std::to_string(ch));
        return -1;
    }
    c->rangeIn = in;
    c->rangeOut = out;
    return 0;
}

int32_t Engine::SetLoop(int32_t ch, bool loop) {
    Channel* c = Find(ch);
    if (c != nullptr) {
        c->loop = loop;
    }
    return c != nullptr ? 0 : -1;
}

int32_t Engine::Transfer(int32_t ch, const std::string& file, const std::string& name) {
    Channel* c = FindForCommand(ch, "Transfer");
    if (c == nullptr) {
        return -1;
    }
    const bool wildcard = file.find('*') != std::string::npos;
    if (file.empty() || (!wildcard && rvOSFileExists(file.c_str()) == 0) ||
        (wildcard && SequenceMembers(file).empty())) {
        Fail(kErrFile, "Transfer: no file \"" + file + "\" for channel " + std::to_string(ch));
        return -1;
    }
    std::string wanted = name;
    if (wanted.empty()) {
        const size_t slash = file.find_last_of("/\\");
        wanted = file.substr(slash == std::string::npos ? 0 : slash + 1);
        const size_t cut = wanted.find_first_of("*.");
        if (cut != std::string::npos && cut > 0) {
            wanted.erase(cut);
        }
    }
    Clip clip = MakeClip(UniqueName(wanted, ClipsOf(*c), {}), file);
    c->ownClips.push_back(std::move(clip));
    c->lastXferMs = Now();
    Touch(*c);
    Event(ch, "Transfer");
    return 0;
}

// ---- logs ----

void Engine::Fail(int32_t code, const std::string& text) {
    if (!errorLogOn_) {
        return;
    }
    ErrorEntry entry;
    entry.code = code;
    entry.text = text;
    WallClock(entry.time);
    if (errors_.size() >= kErrorLogLimit) {
        errors_.erase(errors_.begin());
    }
    errors_.push_back(std::move(entry));
    errorLogMs_ = Now();
}

int32_t Engine::SetErrorLog(uint32_t operation) {
    switch (operation) {
    case 0: // ENGINE_ERRORLOG_START
        errorLogOn_ = true;
        return 0;
    case 1: // ENGINE_ERRORLOG_STOP
        errorLogOn_ = false;
        return 0;
    case 0xFFFFFFFFu: // ENGINE_ERRORLOG_CLEAR
        errors_.clear();
        errorLogMs_ = Now();
        return 0;
    case 4: // ENGINE_ERRORLOG_SAVE
        return SaveErrorLog(nullptr) ? 0 : -1;
    default:
        Fail(kErrBadArgument, "Error log: unknown operation " + std::to_string(operation));
        return -1;
    }
}

namespace {

std::string TimeText(const uint16_t t[7]) {
    char text[64];
    std::snprintf(text, sizeof text, "%04u-%02u-%02u %02u:%02u:%02u.%02u", t[0], t[1], t[2], t[3],
                  t[4], t[5], t[6]);
    return text;
}

std::string CsvField(const std::string& text) {
    std::string quoted = "\"";
    for (char c : text) {
        quoted += c;
        if (c == '"') {
            quoted += '"';
        }
    }
    return quoted + "\"";
}

bool WriteFile(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << text;
    out.close();
    return static_cast<bool>(out);
}

} // namespace

bool Engine::SaveErrorLog(std::string* pathOut) {
    const std::string path = JoinPath(logDir, "kxrengine-errorlog.csv");
    std::string text = "Index,Code,Time,Message\r\n";
    for (size_t i = 0; i < errors_.size(); ++i) {
        text += std::to_string(i) + "," + std::to_string(errors_[i].code) + "," +
                TimeText(errors_[i].time) + "," + CsvField(errors_[i].text) + "\r\n";
    }
    if (!WriteFile(kxr::platform::NativePath(path), text)) {
        Fail(kErrFile, "Error log: cannot write " + path);
        return false;
    }
    if (pathOut != nullptr) {
        *pathOut = path;
    }
    return true;
}

void Engine::Event(int32_t ch, const char* word) {
    Channel* c = Find(ch);
    if (c == nullptr) {
        return;
    }
    uint16_t t[7];
    WallClock(t);
    // Position without Update: an event may be raised from inside it.
    char row[512];
    std::snprintf(row, sizeof row, "%s,%u,%d,%s,%s,%lld,%d", TimeText(t).c_str(), Now(), ch, word,
                  CsvField(c->clip).c_str(), static_cast<long long>(c->anchorFrame), c->speed);
    if (events_.size() >= kEventLogLimit) {
        events_.erase(events_.begin());
    }
    events_.emplace_back(row);
}

bool Engine::SaveEventLog(std::string* pathOut) {
    const std::string path = JoinPath(logDir, "kxrengine-events.csv");
    std::string text = "Time,Ms,Channel,Event,Clip,Position,Speed\r\n";
    for (const std::string& row : events_) {
        text += row + "\r\n";
    }
    if (!WriteFile(kxr::platform::NativePath(path), text)) {
        Fail(kErrFile, "Event log: cannot write " + path);
        return false;
    }
    *pathOut = path;
    return true;
}

} // namespace kxrengine
