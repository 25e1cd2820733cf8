// The simulated engine's state: channels with their clip lists, transport and
// settings, the error log and the event log. One mutex guards all of it; the
// exported functions take it and call the members below.
#ifndef KXR_ENGINE_INTERNAL_H
#define KXR_ENGINE_INTERNAL_H

#include <cstdint>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "kxr/mediacmd.h"

namespace kxrengine {

inline constexpr int32_t kNormalSpeed = 65520;
// Faster shuttle is clamped, which also keeps the position arithmetic in range.
inline constexpr int32_t kMaxSpeed = kNormalSpeed * 100;
inline constexpr uint32_t kMaxChannels = 64;
inline constexpr size_t kClipNameWidth = 8;
inline constexpr size_t kPathSize = 260;
inline constexpr int32_t kDefaultClipSeconds = 10;
inline constexpr size_t kErrorLogLimit = 1000;
inline constexpr size_t kEventLogLimit = 10000;
// The module's preview record is this large; such a record always gets its
// size rewritten, so the module never sends stale bytes.
inline constexpr uint32_t kPreviewRecordSize = 0x21C0000u + 0x109Cu;
// Engine-private value code: SetValue advances the deterministic clock by
// `position` milliseconds, GetValue reads the engine clock.
inline constexpr int32_t kValueAdvanceClock = 900001;

// Codes of the error log's messages.
enum ErrorCode : int32_t {
    kErrUnknownClip = 1,
    kErrSeekBeyondClip = 2,
    kErrNoSuchChannel = 3,
    kErrUnknownCommand = 4,
    kErrUnknownValue = 5,
    kErrNoMedia = 6,
    kErrPicture = 7,
    kErrUnknownSetting = 8,
    kErrBadArgument = 9,
    kErrFile = 10,
    kErrNotRecording = 11
};

enum class State { Stopped, Cued, Playing, Paused, Recording, Ejected };

struct Clip {
    std::string name;                 // at most 8 characters
    std::string path;                 // media file or sequence wildcard; empty when recorded
    std::vector<std::string> members; // a sequence's frame files in frame order
    int32_t length = -1;              // frames; -1 when the media could not be read
    uint32_t videoFlag = 1;
    uint32_t audioMask = 0;
};

struct ChannelSettings {
    std::string name;
    int32_t type = 1;
    int32_t mode = 0;
    uint32_t tcType = 8;
    uint32_t signalFormat = 0x11A04219u;
    uint32_t compression = 0x20000u;
    uint32_t bitDepth = 10;
    uint32_t container = 0x2u;
    uint32_t connectorVariant = 0;
    uint32_t videoInput = 0x100u;
    uint32_t videoOutput = 0x100u;
    uint32_t audioInput = 512;
    uint32_t audioOutput = 512;
    uint32_t audioLevel = 0xB000u;
    uint32_t videoLevel = 0x10000u;
    uint32_t setup = 0;
    uint32_t hue = 0;
    uint32_t chroma = 0x10000u;
    uint32_t reference = 1;
    uint32_t videoMask = 0x1u;
    uint32_t audioMask = 0xFFu;
    uint32_t infoMask = 0x1u;
};

struct Channel {
    ChannelSettings settings;
    uint32_t rate = 25; // frames per second = rate / scale
    uint32_t scale = 1;
    std::vector<Clip> ownClips; // recorded and transferred on this channel

    State state = State::Stopped;
    int32_t speed = 0;
    std::string clip; // loaded clip; empty: the whole timeline
    int32_t rangeIn = 0;
    int32_t rangeOut = 0;
    bool loop = false;
    int64_t anchorFrame = 0; // position at anchorMs
    uint32_t anchorMs = 0;
    uint32_t lastChangeMs = 0;
    uint32_t lastXferMs = 0;
    size_t timelineCursor = 0;
};

struct TimelineEntry {
    const Clip* clip = nullptr;
    int32_t position = 0;
    int32_t in = 0;
    int32_t out = 0;
};

struct ErrorEntry {
    int32_t code = 0;
    std::string text;
    uint16_t time[7] = {}; // year, month, day, hour, minute, second, hundredths
};

// What a picture request needs, copied out so the decode runs unlocked.
struct FrameSource {
    std::string file;
    int32_t frame = 0;
};

struct CachedFile {
    bool inspected = false;
    uint64_t size = 0;
    uint64_t lastWrite = 0;
    int32_t length = -1;
    uint32_t audioMask = 0;
    uint32_t videoFlag = 1;
};

class Engine {
public:
    std::mutex mutex;

    // Every entry point calls this first; the configuration is read once.
    void EnsureLoaded();
    void Reload();

    uint32_t Now() const;
    bool AdvanceClock(uint32_t milliseconds);
    bool deterministic = false;

    uint32_t ChannelCount() const { return static_cast<uint32_t>(channels_.size()); }
    uint32_t InternalChannelCount() const { return internalChannels_; }
    // Null when the channel does not exist; commands log that, queries do not.
    Channel* Find(int32_t channel);
    Channel* FindForCommand(int32_t channel, const char* what);

    // Transport. Each returns 0 or -1 (and logs why).
    int32_t Play(int32_t ch, int32_t speed);
    int32_t LoadClip(int32_t ch, const std::string& name);
    int32_t Pause(int32_t ch);
    int32_t Stop(int32_t ch);
    int32_t Seek(int32_t ch, int64_t frame);
    int32_t SeekRelative(int32_t ch, int64_t frames);
    int32_t Record(int32_t ch);
    int32_t RecordStop(int32_t ch, const std::string& name);
    int32_t Eject(int32_t ch);
    int32_t SetPlayRange(int32_t ch, int32_t in, int32_t out);
    int32_t SetLoop(int32_t ch, bool loop);
    int32_t Transfer(int32_t ch, const std::string& file, const std::string& name);

    // Brings a playing channel's position up to the clock.
    void Update(Channel& c);
    int32_t Position(Channel& c);
    const char* StateText(const Channel& c) const;
    int32_t StateCode(const Channel& c) const;
    std::string CurrentClipName(Channel& c);

    // Clips as the channel sees them: configured, then record directory, then its own.
    std::vector<const Clip*> ClipsOf(const Channel& c);
    const Clip* FindClip(const Channel& c, const std::string& name);
    const Clip* FindClipByPath(const Channel& c, const std::string& path);
    int32_t ClipLength(const Channel& c, const Clip& clip) const;
    std::vector<TimelineEntry> Timeline(const Channel& c);
    bool EntryAt(const Channel& c, int32_t position, TimelineEntry* out);
    int32_t TimelinePositionOf(const Channel& c, const Clip& clip);
    // Looks at the record directory again (only new or changed files are opened).
    void Rescan();
    // The frame under the channel's head.
    bool CurrentFrame(Channel& c, FrameSource* out);
    static bool FrameOf(const Clip& clip, int32_t frame, FrameSource* out);

    // Error log.
    void Fail(int32_t code, const std::string& text);
    int32_t SetErrorLog(uint32_t operation);
    bool SaveErrorLog(std::string* pathOut);
    const std::vector<ErrorEntry>& Errors() const { return errors_; }
    uint32_t ErrorLogMs() const { return errorLogMs_; }

    // Event log of transport events, written as CSV on request.
    void Event(int32_t ch, const char* word);
    bool SaveEventLog(std::string* pathOut);
    size_t EventCount() const { return events_.size(); }

    std::string recordDir;
    std::string logDir;

private:
    void Load();
    void ReadChannel(uint32_t index, Channel* c);
    void Touch(Channel& c);
    void Anchor(Channel& c, int64_t frame);
    int32_t MoveTo(Channel& c, int32_t ch, int64_t frame, const char* what);
    bool Range(Channel& c, int32_t* in, int32_t* out);
    Clip MakeClip(const std::string& name, const std::string& path);
    std::string UniqueName(const std::string& wanted, const std::vector<const Clip*>& taken,
                           const std::vector<Clip>& more) const;

    bool loaded_ = false;
    uint32_t virtualMs_ = 0;
    uint32_t internalChannels_ = 0;
    std::vector<Channel> channels_;
    std::vector<Clip> configuredClips_;
    std::vector<Clip> dirClips_;
    std::map<std::string, CachedFile> fileCache_;
    std::map<std::string, std::string> nameOfPath_;
    std::vector<ErrorEntry> errors_;
    bool errorLogOn_ = true;
    uint32_t errorLogMs_ = 0;
    std::vector<std::string> events_;
};

Engine& TheEngine();

// Wall-clock fields for the logs: year, month, day, hour, minute, second,
// hundredths.
void WallClock(uint16_t fields[7]);
// Path helpers.
std::string JoinPath(const std::string& dir, const std::string& name);
// The thumbnail beside a media file: a.mov -> a.picon.jpg, clip*.dpx -> clip.picon.jpg.
std::string PiconPathFor(const std::string& mediaPath);
// Makes the thumbnail when it is missing; false (with a reason) when it cannot.
bool EnsurePicon(const std::string& mediaFile, const std::string& piconPath, std::string* error);
// Frames per second (rate / scale) of a timecode type.
void RateOfTcType(uint32_t tcType, uint32_t* rate, uint32_t* scale);
// Executes a media command; the engine's mutex is not held on entry.
int32_t ExecuteMediaCmd(int32_t channel, MediaCmd* record);

} // namespace kxrengine

#endif
