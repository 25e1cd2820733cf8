// Media commands: transport, state and value queries, pictures. The record's
// own `size` bounds every write into its text area.
#include <algorithm>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <thread>

#include "engine_internal.h"
#include "kxr/rvutil.h"
#include "kxr/snipr.h"
#include "picture.h"
#include "platform/kxr_path.h"

namespace kxrengine {

namespace {

constexpr size_t kClipNameOffset = kMediaCmdClipNameOffset;
constexpr size_t kFileNameOffset = kMediaCmdFileNameOffset;
constexpr int kPiconWidth = 160;
constexpr int kSmallestPreview = 16;

char* At(MediaCmd* r, size_t offset) {
    return reinterpret_cast<char*>(r) + offset;
}

size_t RoomFrom(const MediaCmd* r, size_t offset) {
    return r->size > offset ? r->size - offset : 0;
}

// A zero-terminated text of at most limit - 1 characters, never read past the record.
std::string GetText(MediaCmd* r, size_t offset, size_t limit) {
    const size_t room = std::min(RoomFrom(r, offset), limit);
    const char* text = At(r, offset);
    size_t n = 0;
    while (n < room && text[n] != '\0') {
        ++n;
    }
    return std::string(text, n);
}

void PutText(MediaCmd* r, size_t offset, const std::string& text, size_t limit = kPathSize) {
    const size_t room = std::min(RoomFrom(r, offset), limit);
    if (room == 0) {
        return;
    }
    const size_t n = std::min(text.size(), room - 1);
    std::memcpy(At(r, offset), text.data(), n);
    At(r, offset)[n] = '\0';
}

std::string GetClipName(MediaCmd* r) {
    std::string name = GetText(r, kClipNameOffset, kClipNameWidth + 1);
    if (name.size() > kClipNameWidth) {
        name.resize(kClipNameWidth);
    }
    while (!name.empty() && name.back() == ' ') {
        name.pop_back();
    }
    return name;
}

// 8 characters and a zero at 84, leaving the file name at 85 alone.
void PutClipName(MediaCmd* r, const std::string& name) {
    if (RoomFrom(r, kClipNameOffset) < kClipNameWidth + 1) {
        return;
    }
    std::memset(At(r, kClipNameOffset), 0, kClipNameWidth + 1);
    std::memcpy(At(r, kClipNameOffset), name.data(), std::min(name.size(), kClipNameWidth));
}

void NotFound(MediaCmd* r) {
    r->position = -1;
    r->start = -1;
    r->end = -1;
}

bool IsSupportedValue(int32_t code) {
    switch (code) {
    case kValueVideoChannels:
    case kValueAudioChannels:
    case kValueInfoChannels:
    case kValueTcType:
    case kValueTimelineEntry:
    case kValueClipInfo:
    case kValueErrorLogSave:
    case kValueEventLog:
    case kValuePicon:
    case kValueLargeRecord:
    case kValueAdvanceClock:
        return true;
    default:
        return false;
    }
}

uint32_t CountFromMask(uint32_t mask) {
    uint32_t count = 0;
    while (mask != 0) {
        ++count;
        mask >>= 1;
    }
    return count;
}

// Work that decodes media runs after the engine's mutex is released.
struct PictureJob {
    enum Kind { None, Picon, Raw, Preview } kind = None;
    int32_t channel = -1;
    FrameSource source;
    std::string piconPath;
    int32_t piconFrame = 0;
    int32_t clipLength = 0;
};

bool WriteFileAtomically(const std::string& path, const std::vector<uint8_t>& bytes) {
    // Two requests may make the same thumbnail at once; each writes its own
    // temporary file and the rename settles it.
    const std::string native = kxr::platform::NativePath(path);
    const std::string temp =
        native + ".tmp" + std::to_string(std::hash<std::thread::id>()(std::this_thread::get_id()));
    {
        std::ofstream out(temp, std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(bytes.data()),
                  static_cast<std::streamsize>(bytes.size()));
        if (!out) {
            std::error_code ec;
            std::filesystem::remove(temp, ec);
            return false;
        }
    }
    std::error_code ec;
    std::filesystem::rename(temp, native, ec);
    if (ec) {
        std::filesystem::remove(temp, ec);
        return false;
    }
    return true;
}

// A JPEG no larger than room bytes; the picture is halved until it fits.
bool JpegWithin(RgbImage image, size_t room, std::vector<uint8_t>* out, std::string* error) {
    while (true) {
        if (!EncodeJpeg(image, out, error)) {
            return false;
        }
        if (out->size() <= room) {
            return true;
        }
        if (image.width / 2 < kSmallestPreview || image.height / 2 < kSmallestPreview) {
            *error = "the picture does not fit into " + std::to_string(room) + " bytes";
            return false;
        }
        RgbImage smaller;
        if (!ScaleImage(image, image.width / 2, image.height / 2, &smaller, error)) {
            return false;
        }
        image = std::move(smaller);
    }
}

// Runs unlocked. Returns false with a reason for the error log.
bool RunPictureJob(const PictureJob& job, MediaCmd* r, std::string* error) {
    switch (job.kind) {
    case PictureJob::None:
        return true;
    case PictureJob::Picon: {
        if (!EnsurePicon(job.source.file, job.piconPath, error)) {
            return false;
        }
        PutText(r, kClipNameOffset, job.piconPath);
        r->position = job.piconFrame;
        r->start = 0;
        r->end = job.clipLength;
        return true;
    }
    case PictureJob::Raw: {
        RgbImage image;
        if (!DecodeFrame(job.source.file, job.source.frame, &image, error)) {
            return false;
        }
        const size_t room = RoomFrom(r, kMediaCmdTextOffset);
        const size_t need = image.pixels.size();
        if (need > room) {
            // Shrink to the room, keeping the picture's shape.
            const double factor = std::sqrt(static_cast<double>(room) / static_cast<double>(need));
            const int width = static_cast<int>(image.width * factor);
            const int height = static_cast<int>(image.height * factor);
            RgbImage smaller;
            if (width < 1 || height < 1 || !ScaleImage(image, width, height, &smaller, error)) {
                *error = "the frame does not fit into " + std::to_string(room) + " bytes";
                return false;
            }
            image = std::move(smaller);
        }
        std::memcpy(At(r, kMediaCmdTextOffset), image.pixels.data(), image.pixels.size());
        r->size = static_cast<uint32_t>(kMediaCmdTextOffset + image.pixels.size());
        r->position = static_cast<int32_t>(image.pixels.size());
        r->start = image.width;
        r->end = image.height;
        return true;
    }
    case PictureJob::Preview: {
        RgbImage image;
        if (!DecodeFrame(job.source.file, job.source.frame, &image, error)) {
            return false;
        }
        std::vector<uint8_t> jpeg;
        if (!JpegWithin(std::move(image), RoomFrom(r, kMediaCmdTextOffset), &jpeg, error)) {
            return false;
        }
        std::memcpy(At(r, kMediaCmdTextOffset), jpeg.data(), jpeg.size());
        r->size = static_cast<uint32_t>(kMediaCmdTextOffset + jpeg.size());
        return true;
    }
    }
    return true;
}

class Executor {
public:
    Executor(Engine& engine, int32_t channel, MediaCmd* record)
        : e_(engine), ch_(channel), r_(record) {}

    int32_t Run(PictureJob* job);

private:
    Channel* Need(const char* what) { return e_.FindForCommand(ch_, what); }
    int32_t Transport();
    int32_t PlayCommand();
    int32_t GetState();
    int32_t GetValue(PictureJob* job);
    int32_t SetValue();
    int32_t Picon(PictureJob* job);
    int32_t Unknown(const std::string& what, int32_t code);

    Engine& e_;
    int32_t ch_;
    MediaCmd* r_;
};

int32_t Executor::Unknown(const std::string& what, int32_t code) {
    e_.Fail(code, what);
    return -1;
}

int32_t Executor::Run(PictureJob* job) {
    switch (r_->cmd) {
    case kCmdStop:
    case kCmdPause:
    case kCmdAbort:
        return Transport();
    case kCmdPlay:
        return PlayCommand();
    case kCmdRecord:
        return e_.Record(ch_);
    case kCmdRecStop:
        return e_.RecordStop(ch_, (r_->flags & MCF_TEXT) != 0 ? GetClipName(r_) : std::string());
    case kCmdEject:
        return e_.Eject(ch_);
    case kCmdTransfer:
        return e_.Transfer(ch_, GetText(r_, kFileNameOffset, kPathSize), GetClipName(r_));
    case kCmdChanSelect: {
        Channel* c = Need("ChanSelect");
        if (c == nullptr) {
            return -1;
        }
        if ((r_->flags & MCF_CHANNELS) != 0) {
            if (r_->videoChannels != 0xFFFFFFFFu) {
                c->settings.videoMask = r_->videoChannels;
            }
            if (r_->audioChannels != 0xFFFFFFFFu) {
                c->settings.audioMask = r_->audioChannels;
            }
            if (r_->infoChannels != 0xFFFFFFFFu) {
                c->settings.infoMask = r_->infoChannels;
            }
            c->lastChangeMs = e_.Now();
        }
        return 0;
    }
    case kCmdGetState:
        return GetState();
    case kCmdGetValue:
        return GetValue(job);
    case kCmdSetValue:
        return SetValue();
    case kCmdValueSupported:
        r_->position = IsSupportedValue(r_->cmdAlt) ? 1 : 0;
        return 0;
    case kCmdError:
    case kCmdTerminate:
        return 0;
    default:
        return Unknown("MediaCmd: command " + std::to_string(r_->cmd) + " is not supported",
                       kErrUnknownCommand);
    }
}

int32_t Executor::Transport() {
    Channel* c = Need(r_->cmd == kCmdStop ? "Stop" : "Pause");
    if (c == nullptr) {
        return -1;
    }
    int32_t rc = r_->cmd == kCmdPause ? e_.Pause(ch_) : e_.Stop(ch_);
    if (rc == 0 && (r_->flags & MCF_POSITION_ABS) != 0) {
        rc = e_.Seek(ch_, r_->position);
    } else if (rc == 0 && (r_->flags & MCF_POSITION_REL) != 0) {
        rc = e_.SeekRelative(ch_, r_->position);
    }
    return rc;
}

int32_t Executor::PlayCommand() {
    Channel* c = Need("Play");
    if (c == nullptr) {
        return -1;
    }
    const std::string name = (r_->flags & MCF_TEXT) != 0 ? GetClipName(r_) : std::string();
    if (!name.empty() && strcmpClip(name.c_str(), c->clip.c_str()) != 0 &&
        e_.LoadClip(ch_, name) != 0) {
        return -1;
    }
    if ((r_->flags & (MCF_START | MCF_END)) != 0) {
        const int32_t here = e_.Position(*c);
        int32_t in = c->rangeIn;
        int32_t out = c->rangeOut;
        if ((r_->flags & MCF_START) != 0) {
            in = (r_->flags & MCF_START_REL) != 0 ? here + r_->start : r_->start;
        }
        if ((r_->flags & MCF_END) != 0) {
            out = (r_->flags & MCF_END_REL) != 0 ? here + r_->end : r_->end;
        }
        if (e_.SetPlayRange(ch_, in, out) != 0) {
            return -1;
        }
        if ((r_->flags & (MCF_POSITION_ABS | MCF_POSITION_REL)) == 0 &&
            (here < in || here >= out) && e_.Seek(ch_, in) != 0) {
            return -1;
        }
    }
    if ((r_->flags & MCF_POSITION_ABS) != 0 && e_.Seek(ch_, r_->position) != 0) {
        return -1;
    }
    if ((r_->flags & MCF_POSITION_REL) != 0 && e_.SeekRelative(ch_, r_->position) != 0) {
        return -1;
    }
    e_.SetLoop(ch_, (r_->flags & MCF_LOOP) != 0);
    return e_.Play(ch_, (r_->flags & MCF_SPEED) != 0 ? r_->speed : kNormalSpeed);
}

int32_t Executor::GetState() {
    Channel* c = Need("GetState");
    if (c == nullptr) {
        return -1;
    }
    r_->position = e_.Position(*c);
    r_->speed = c->speed;
    int32_t in = 0;
    int32_t out = 0;
    const std::string name = e_.CurrentClipName(*c);
    const Clip* clip = e_.FindClip(*c, name);
    if (!c->clip.empty() || c->state == State::Recording) {
        in = c->rangeIn;
        out = c->rangeOut;
    } else if (clip != nullptr) {
        // On the timeline the clip under the head is described.
        const int32_t at = e_.TimelinePositionOf(*c, *clip);
        in = at;
        out = at + e_.ClipLength(*c, *clip);
    }
    r_->start = in;
    r_->end = out;
    r_->videoChannels = c->settings.videoMask;
    r_->audioChannels = c->settings.audioMask;
    r_->infoChannels = c->settings.infoMask;
    // The transport state, as the code of the command that leads to it.
    r_->cmdAlt = e_.StateCode(*c);
    r_->flags |= MCF_SPEED | MCF_CHANNELS | MCF_POSITION_ABS | MCF_START | MCF_END | MCF_CMDALT;
    if (RoomFrom(r_, kFileNameOffset) > 0) {
        PutClipName(r_, name);
        PutText(r_, kFileNameOffset, clip != nullptr ? clip->path : std::string());
        r_->flags |= MCF_TEXT;
    }
    return 0;
}

int32_t Executor::GetValue(PictureJob* job) {
    switch (r_->cmdAlt) {
    case kValueVideoChannels:
    case kValueAudioChannels:
    case kValueInfoChannels:
    case kValueTcType: {
        Channel* c = Need("GetValue");
        if (c == nullptr) {
            r_->position = -1;
            return -1;
        }
        const ChannelSettings& s = c->settings;
        r_->position =
            static_cast<int32_t>(r_->cmdAlt == kValueVideoChannels   ? CountFromMask(s.videoMask)
                                 : r_->cmdAlt == kValueAudioChannels ? CountFromMask(s.audioMask)
                                 : r_->cmdAlt == kValueInfoChannels  ? CountFromMask(s.infoMask)
                                                                     : s.tcType);
        return 0;
    }
    case kValueTimelineEntry: {
        Channel* c = Need("Timeline entry");
        if (c == nullptr) {
            NotFound(r_);
            return -1;
        }
        const int32_t at = (r_->flags & MCF_POSITION_ABS) != 0 ? r_->position : e_.Position(*c);
        TimelineEntry entry;
        if (!e_.EntryAt(*c, at, &entry)) {
            NotFound(r_);
            return Unknown("Timeline: no entry at frame " + std::to_string(at) + " on channel " +
                               std::to_string(ch_),
                           kErrSeekBeyondClip);
        }
        r_->position = entry.position;
        r_->start = entry.in;
        r_->end = entry.out;
        PutClipName(r_, entry.clip->name);
        PutText(r_, kFileNameOffset, entry.clip->path);
        return 0;
    }
    case kValueClipInfo: {
        Channel* c = Need("Clip information");
        if (c == nullptr) {
            NotFound(r_);
            return -1;
        }
        const std::string name = GetClipName(r_);
        const Clip* clip = e_.FindClip(*c, name);
        if (clip == nullptr) {
            NotFound(r_);
            return Unknown("Clip information: unknown clip \"" + name + "\" on channel " +
                               std::to_string(ch_),
                           kErrUnknownClip);
        }
        r_->position = e_.TimelinePositionOf(*c, *clip);
        r_->start = 0;
        r_->end = e_.ClipLength(*c, *clip);
        PutClipName(r_, clip->name);
        PutText(r_, kFileNameOffset, clip->path);
        return 0;
    }
    case kValuePicon:
        return Picon(job);
    case kValueLargeRecord:
    case kValueAdvanceClock:
        if (r_->cmdAlt == kValueAdvanceClock) {
            r_->position = static_cast<int32_t>(e_.Now());
            return 0;
        } else {
            Channel* c = Need("Frame");
            if (c == nullptr || !e_.CurrentFrame(*c, &job->source)) {
                NotFound(r_);
                return c == nullptr ? -1
                                    : Unknown("Frame: no media under the head of channel " +
                                                  std::to_string(ch_),
                                              kErrNoMedia);
            }
            job->kind = PictureJob::Raw;
            job->channel = ch_;
            return 0;
        }
    case kValueErrorLogSave: {
        std::string path;
        if (!e_.SaveErrorLog(&path)) {
            return -1;
        }
        PutText(r_, kMediaCmdTextOffset, path);
        r_->position = 0;
        return 0;
    }
    case kValueEventLog: {
        std::string path;
        if (!e_.SaveEventLog(&path)) {
            return -1;
        }
        PutText(r_, kMediaCmdTextOffset, path);
        r_->position = static_cast<int32_t>(e_.EventCount());
        return 0;
    }
    default:
        r_->position = -1;
        return Unknown("GetValue: value code " + std::to_string(r_->cmdAlt) + " is not supported",
                       kErrUnknownValue);
    }
}

int32_t Executor::SetValue() {
    switch (r_->cmdAlt) {
    case kValueTcType: {
        Channel* c = Need("SetValue");
        if (c == nullptr) {
            return -1;
        }
        c->settings.tcType = static_cast<uint32_t>(r_->position);
        RateOfTcType(c->settings.tcType, &c->rate, &c->scale);
        c->lastChangeMs = e_.Now();
        return 0;
    }
    case kValueErrorLogSave: {
        // position carries the log operation; save when none is given.
        const uint32_t operation = r_->position == -1 ? 4u : static_cast<uint32_t>(r_->position);
        if (operation != 4u) {
            return e_.SetErrorLog(operation);
        }
        std::string path;
        if (!e_.SaveErrorLog(&path)) {
            return -1;
        }
        PutText(r_, kMediaCmdTextOffset, path);
        return 0;
    }
    case kValueAdvanceClock:
        if (r_->position < 0 || !e_.AdvanceClock(static_cast<uint32_t>(r_->position))) {
            return Unknown("Clock: the engine is not in deterministic mode, or a negative step",
                           kErrBadArgument);
        }
        r_->position = static_cast<int32_t>(e_.Now());
        return 0;
    default:
        return Unknown("SetValue: value code " + std::to_string(r_->cmdAlt) + " is not supported",
                       kErrUnknownValue);
    }
}

int32_t Executor::Picon(PictureJob* job) {
    Channel* c = Need("Picon");
    if (c == nullptr) {
        NotFound(r_);
        return -1;
    }
    const std::string t76 = GetText(r_, kClipNameOffset, kPathSize);
    const bool shortName = t76.size() <= kClipNameWidth;
    const std::string t85 = shortName ? GetText(r_, kFileNameOffset, kPathSize) : std::string();
    const Clip* clip = nullptr;
    std::string mediaPath;
    int32_t frame = 0;
    if (t76.empty() && t85.empty() && (r_->flags & MCF_POSITION_ABS) != 0) {
        TimelineEntry entry;
        if (e_.EntryAt(*c, r_->position, &entry)) {
            clip = entry.clip;
            frame = r_->position;
        }
    } else if (shortName && !t76.empty() && IsSpecialClip(t76.c_str()) != 0) {
        // The module draws special clips from its own pictures, named at 85.
        PutClipName(r_, "");
        r_->position = 0;
        r_->start = 0;
        r_->end = 0;
        return 0;
    } else {
        if (shortName) {
            clip = e_.FindClip(*c, GetClipName(r_));
        }
        const std::string path = shortName ? t85 : t76;
        if (clip == nullptr) {
            clip = e_.FindClipByPath(*c, path);
        }
        if (clip == nullptr && !path.empty()) {
            const bool wildcard = path.find('*') != std::string::npos;
            if ((wildcard && rvOSFileExists(kxr::platform::NativePath(
                                                path.substr(0, path.find_last_of("/\\") + 1))
                                                .c_str()) != 0) ||
                (!wildcard && rvOSFileExists(path.c_str()) != 0 &&
                 rvOSFileIsDir(path.c_str()) == 0)) {
                mediaPath = path;
            }
        }
    }
    if (clip != nullptr && clip->path.empty()) {
        NotFound(r_);
        return Unknown("Picon: clip \"" + clip->name + "\" has no media file", kErrNoMedia);
    }
    if (clip == nullptr && mediaPath.empty()) {
        NotFound(r_);
        return Unknown("Picon: no clip or file \"" + (t76.empty() ? t85 : t76) + "\" on channel " +
                           std::to_string(ch_),
                       kErrUnknownClip);
    }
    Clip file;
    if (clip == nullptr) {
        file.path = mediaPath;
        if (mediaPath.find('*') != std::string::npos) {
            // A sequence: its first frame file, in frame order.
            std::vector<std::string> names;
            RVFindData data{};
            RVHANDLE search = rvOSFindFirstFile(mediaPath.c_str(), &data);
            if (search != RV_INVALID_HANDLE) {
                do {
                    names.emplace_back(data.name);
                } while (rvOSFindNextFile(search, &data) != 0);
                rvOSFindClose(search);
            }
            std::sort(names.begin(), names.end());
            if (names.empty()) {
                NotFound(r_);
                return Unknown("Picon: no files match \"" + mediaPath + "\"", kErrUnknownClip);
            }
            file.members.push_back(mediaPath.substr(0, mediaPath.find_last_of("/\\") + 1) +
                                   names.front());
        }
        clip = &file;
    }
    Engine::FrameOf(*clip, 0, &job->source);
    job->kind = PictureJob::Picon;
    job->channel = ch_;
    job->piconPath = PiconPathFor(clip->path);
    job->piconFrame = frame;
    job->clipLength = clip == &file ? 0 : e_.ClipLength(*c, *clip);
    return 0;
}

} // namespace

bool EnsurePicon(const std::string& mediaFile, const std::string& piconPath, std::string* error) {
    if (rvOSFileExists(piconPath.c_str()) != 0) {
        return true;
    }
    RgbImage frame;
    if (!DecodeFrame(kxr::platform::NativePath(mediaFile), 0, &frame, error)) {
        return false;
    }
    const int width = std::min(kPiconWidth, frame.width);
    const int height =
        std::max(2, static_cast<int>(static_cast<int64_t>(frame.height) * width / frame.width));
    RgbImage small;
    std::vector<uint8_t> jpeg;
    if (!ScaleImage(frame, width, height, &small, error) || !EncodeJpeg(small, &jpeg, error)) {
        return false;
    }
    if (!WriteFileAtomically(piconPath, jpeg)) {
        *error = "cannot write " + piconPath;
        return false;
    }
    return true;
}

int32_t ExecuteMediaCmd(int32_t channel, MediaCmd* record) {
    if (record == nullptr) {
        return -1;
    }
    Engine& engine = TheEngine();
    PictureJob job;
    int32_t rc = 0;
    int32_t ch = 0;
    bool preview = false;
    {
        std::lock_guard<std::mutex> lock(engine.mutex);
        engine.EnsureLoaded();
        if (record->structId != static_cast<uint32_t>(kMediaCmdStructId) ||
            record->size < static_cast<uint32_t>(kMediaCmdTextOffset)) {
            engine.Fail(kErrBadArgument, "MediaCmd: not a media command record");
            return -1;
        }
        ch = channel >= 0 ? channel : record->channel;
        preview = (record->flags & MCF_PREVIEW) != 0 || record->size == kPreviewRecordSize;
        rc = Executor(engine, ch, record).Run(&job);
        if (preview) {
            // The answer is the picture alone: without one the size says
            // that nothing was written, so no stale bytes go out.
            Channel* c = engine.FindForCommand(ch, "Preview");
            PictureJob shot;
            if (c != nullptr && engine.CurrentFrame(*c, &shot.source)) {
                shot.kind = PictureJob::Preview;
                shot.channel = ch;
                job = shot;
            } else {
                record->size = kMediaCmdTextOffset;
                if (c != nullptr) {
                    engine.Fail(kErrNoMedia, "Preview: no media under the head of channel " +
                                                 std::to_string(ch));
                }
                rc = -1;
            }
        }
    }
    if (job.kind == PictureJob::None) {
        return rc;
    }
    std::string error;
    if (!RunPictureJob(job, record, &error)) {
        if (job.kind == PictureJob::Picon || job.kind == PictureJob::Raw) {
            NotFound(record);
        }
        if (job.kind == PictureJob::Preview) {
            record->size = kMediaCmdTextOffset;
        }
        std::lock_guard<std::mutex> lock(engine.mutex);
        engine.Fail(kErrPicture, "Picture for channel " + std::to_string(job.channel) + " (" +
                                     job.source.file + "): " + error);
        return -1;
    }
    return rc;
}

} // namespace kxrengine
