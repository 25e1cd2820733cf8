// The MediaCmd request against a slot that keeps every record: what is sent,
// in which order and size, the path translations, and the answer bytes.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "api/http_request.h"
#include "api/my_http_client.h"
#include "capturing_engine.h"
#include "files/file_roots.h"
#include "httpd/server_settings.h"
#include "kxr/rvutil.h"
#include "media/media_cmd.h"
#include "media/media_cmd_request.h"
#include "platform/kxr_path.h"

namespace {

namespace fs = std::filesystem;
using kxr::CHttpRequest;
using kxr::CMyHttpClient;

// The answer body read back as a client would.
class Answer {
public:
    Answer(char* body, int32_t length) {
        if (body != nullptr) {
            text_.assign(body, static_cast<size_t>(length));
            EXPECT_EQ(std::strlen(body), static_cast<size_t>(length));
            RVFree(body);
        }
        document_.Parse(text_.c_str());
        EXPECT_FALSE(document_.Error()) << text_;
    }
    std::string Value(const char* name) const {
        const TiXmlElement* root = document_.RootElement();
        const TiXmlElement* e = root != nullptr ? root->FirstChildElement(name) : nullptr;
        const char* v = e != nullptr ? e->Attribute("Value") : nullptr;
        return v != nullptr ? v : "<missing>";
    }
    std::string Attr(const char* name, const char* attribute) const {
        const TiXmlElement* root = document_.RootElement();
        const TiXmlElement* e = root != nullptr ? root->FirstChildElement(name) : nullptr;
        const char* v = e != nullptr ? e->Attribute(attribute) : nullptr;
        return v != nullptr ? v : "<missing>";
    }
    std::string Encoding() const {
        const TiXmlNode* first = document_.FirstChild();
        const TiXmlDeclaration* d = first != nullptr ? first->ToDeclaration() : nullptr;
        return d != nullptr ? d->Encoding() : "<missing>";
    }
    uint32_t Flags() const {
        return static_cast<uint32_t>(std::stoul(Value("Flags"), nullptr, 16));
    }

private:
    std::string text_;
    TiXmlDocument document_;
};

class MediaCmdRequest : public ::testing::Test {
protected:
    void SetUp() override {
        client_.channel = 2;
        engine_.tcTypes = {{0, 8}, {2, 4}};
    }

    Answer Run(const std::string& query, int32_t* result = nullptr) {
        CHttpRequest request;
        request.query = query;
        char* body = nullptr;
        int32_t length = -1;
        int32_t rc = kxr::HandleMediaCmdRequest(&client_, &body, &length, &request);
        if (result != nullptr) {
            *result = rc;
        } else {
            EXPECT_EQ(rc, 1) << query;
        }
        return Answer(body, length);
    }

    // The records sent apart from the timecode-type queries.
    std::vector<kxrtest::SentRecord> Commands() const {
        std::vector<kxrtest::SentRecord> out;
        for (const auto& s : engine_.sent) {
            if (!(s.record.cmd == kCmdGetValue && s.record.cmdAlt == kValueTcType)) {
                out.push_back(s);
            }
        }
        return out;
    }

    kxrtest::CapturingEngine engine_;
    CMyHttpClient client_;
};

TEST_F(MediaCmdRequest, StopIsSentToTheClientsChannelAndAnsweredInItsTimecode) {
    Answer answer = Run("Stop");
    ASSERT_EQ(engine_.sent.size(), 2u);
    EXPECT_EQ(engine_.sent[0].record.cmdAlt, kValueTcType);
    EXPECT_EQ(engine_.sent[0].channelArgument, 2);
    const MediaCmd& stop = engine_.sent[1].record;
    EXPECT_EQ(engine_.sent[1].channelArgument, 2);
    EXPECT_EQ(stop.cmd, static_cast<uint32_t>(kCmdStop));
    EXPECT_EQ(stop.channel, 2);
    EXPECT_EQ(stop.size, static_cast<uint32_t>(kMediaCmdStandardSize));
    EXPECT_EQ(stop.flags, MCF_FROMTEXT);
    EXPECT_EQ(answer.Encoding(), "iso-8859-1");
    EXPECT_EQ(answer.Value("CmdCode"), "0");
    EXPECT_EQ(answer.Attr("Position", "TcType"), "drop-frame");
}

TEST_F(MediaCmdRequest, RefusedCommandsAreNotSent) {
    client_.channel = 0; // pal, yet a refusal is shown in non-drop-frame
    for (const char* query : {"", "Bogus", "&&", "Error&channel=0"}) {
        engine_.sent.clear();
        Answer answer = Run(query);
        EXPECT_TRUE(engine_.sent.empty()) << query;
        EXPECT_EQ(answer.Value("CmdCode"), "17") << query;
        EXPECT_EQ(answer.Attr("Position", "TcType"), "non-drop-frame") << query;
    }
}

TEST_F(MediaCmdRequest, GetStateWithChannelValuesAsksForThemFirst) {
    engine_.reply = [](int32_t, MediaCmd* r) {
        if (r->cmd == kCmdGetValue && r->cmdAlt != kValueTcType) {
            r->position = r->cmdAlt == 1 ? 0x1 : r->cmdAlt == 3 ? 0xFF : 0x3;
        }
    };
    Answer answer = Run("GetState&videochannels=0");
    auto sent = Commands();
    ASSERT_EQ(sent.size(), 4u);
    const int32_t codes[] = {1, 3, 5, 5};
    for (size_t i = 0; i < 4; ++i) {
        EXPECT_EQ(sent[i].record.cmd, i < 3 ? 14u : 12u) << i;
        EXPECT_EQ(sent[i].record.cmdAlt, codes[i]) << i;
        EXPECT_EQ(sent[i].channelArgument, 2) << i;
    }
    EXPECT_EQ(answer.Value("VideoChannels"), "0x00000001");
    EXPECT_EQ(answer.Value("AudioChannels"), "0x000000FF");
    EXPECT_EQ(answer.Value("InfoChannels"), "0x00000003");
    EXPECT_NE(answer.Flags() & MCF_USEFRAMECOUNT, 0u);

    engine_.sent.clear();
    Answer plain = Run("GetState");
    ASSERT_EQ(Commands().size(), 1u);
    EXPECT_EQ(Commands()[0].record.cmd, 12u);
    EXPECT_EQ(plain.Flags() & MCF_USEFRAMECOUNT, 0u);
}

TEST_F(MediaCmdRequest, LargeRecordStatesItsSize) {
    uint32_t seenSize = 0;
    engine_.reply = [&seenSize](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueLargeRecord) {
            seenSize = r->size;
            // The engine may fill the whole room it is told about.
            reinterpret_cast<char*>(r)[r->size - 1] = 'z';
        }
    };
    const struct {
        const char* query;
        uint32_t size;
    } rows[] = {
        {"GetValue&cmdalt=1000007&videochannels=1000", 4188 + 5096},
        {"GetValue&cmdalt=1000007", 4188 + 0x1950000},
        {"GetValue&cmdalt=1000007&videochannels=0", 4188 + 0x1950000},
        {"GetValue&cmdalt=1000007&videochannels=0xFFFFFFFF", 4188 + 0x1950000},
        {"GetValue&cmdalt=1000007&videochannels=1000&UsingCurrent", 4188},
    };
    for (const auto& row : rows) {
        seenSize = 0;
        Answer answer = Run(row.query);
        EXPECT_EQ(seenSize, row.size) << row.query;
        EXPECT_EQ(answer.Value("Size"), std::to_string(row.size)) << row.query;
    }
}

class MediaCmdFiles : public MediaCmdRequest {
protected:
    void SetUp() override {
        MediaCmdRequest::SetUp();
        base_ = fs::temp_directory_path() /
                ("kxr_media_cmd_" +
                 std::to_string(std::chrono::steady_clock::now().time_since_epoch().count()));
        fs::create_directories(base_ / "media");
        fs::create_directories(base_ / "www");
        rvCFGOpen(nullptr);
        std::string media = (base_ / "media").string();
        uint32_t size = 0;
        rvCFGValueString(RV_CFG_ROOT, "KXR\\NetServer\\FileDirs", "Media", media.data(), &size, 1);
        kxr::FreeFileRoots(&client_);
        kxr::LoadFileRoots(&client_);
        // Local paths end in the platform's own separator.
        local_ = (base_ / "media").string() + kxr::platform::kPathSeparator;
        savedRoot_ = kxr::httpd::GetServerSettings().documentRoot;
        docRoot_ = (base_ / "www").string() + kxr::platform::kPathSeparator;
        kxr::httpd::GetServerSettings().documentRoot = docRoot_.c_str();
    }
    void TearDown() override {
        kxr::httpd::GetServerSettings().documentRoot = savedRoot_;
        kxr::FreeFileRoots(&client_);
        std::error_code ec;
        fs::remove_all(base_, ec);
    }

    fs::path base_;
    std::string local_;
    std::string docRoot_;
    const char* savedRoot_ = nullptr;
};

TEST_F(MediaCmdFiles, TranslatesPathsByValueCode) {
    const size_t kFile = kMediaCmdFileNameOffset - kMediaCmdTextOffset;
    const struct {
        std::string query;
        size_t at;           // text offset the engine reads and writes
        std::string seen;    // what the engine got there
        std::string written; // what the engine puts back
        const char* element; // where the answer shows it
        std::string shown;
    } rows[] = {
        {"GetValue&cmdalt=170&filename=\\Media\\a.mov", kFile, local_ + "a.mov", local_ + "b.mov",
         "FileName", "\\Media\\b.mov"},
        {"GetValue&cmdalt=170&filename=\\Media\\a.mov&UsingCurrent", kFile, "\\Media\\a.mov",
         local_ + "b.mov", "FileName", local_ + "b.mov"},
        {"ValueSupported&cmdalt=1004&string=\\Media\\x.mov", 0, local_ + "x.mov", local_ + "y.mov",
         "Text", "\\Media\\y.mov"},
        {"GetValue&cmdalt=166&string=\\Media\\x.mov&AllIDs", 0, "\\Media\\x.mov", local_ + "y.mov",
         "Text", "\\Media\\y.mov"},
        {"GetValue&cmdalt=166&string=\\Media\\x.mov", 0, "\\Media\\x.mov", local_ + "y.mov", "Text",
         local_ + "y.mov"},
        {"Transfer&cmdalt=170&filename=\\Media\\a.mov", kFile, "\\Media\\a.mov", local_ + "b.mov",
         "FileName", local_ + "b.mov"},
    };
    for (const auto& row : rows) {
        std::string seen;
        engine_.reply = [&](int32_t, MediaCmd* r) {
            if (r->cmdAlt == kValueTcType) {
                return;
            }
            seen = r->text + row.at;
            std::memset(r->text, 0, kMediaCmdTextSize);
            std::memcpy(r->text + row.at, row.written.c_str(), row.written.size());
            r->flags |= MCF_TEXT;
        };
        Answer answer = Run(row.query);
        EXPECT_EQ(seen, row.seen) << row.query;
        EXPECT_EQ(answer.Value(row.element), row.shown) << row.query;
    }
}

TEST_F(MediaCmdFiles, EventLogIsCopiedToTheDocumentRoot) {
    const fs::path log = base_ / "engine-events.csv";
    std::ofstream(log) << "time,event\n1,start\n";
    std::ofstream(base_ / "www" / "eventlog.csv") << "stale";
    const std::string logPath = log.string();
    engine_.reply = [&](int32_t, MediaCmd* r) {
        if (r->cmdAlt == kValueEventLog) {
            std::memcpy(r->text, logPath.c_str(), logPath.size() + 1);
            r->flags |= MCF_TEXT;
        }
    };
    for (const char* query : {"GetValue&cmdalt=10100", "GetValue&cmdalt=10100&UsingCurrent"}) {
        Answer answer = Run(query);
        EXPECT_EQ(answer.Value("Text"), "eventlog.csv") << query;
        {
            // Closed before the removal: Windows cannot remove an open file.
            std::ifstream copy(base_ / "www" / "eventlog.csv");
            std::string content((std::istreambuf_iterator<char>(copy)),
                                std::istreambuf_iterator<char>());
            EXPECT_EQ(content, "time,event\n1,start\n") << query;
        }
        fs::remove(base_ / "www" / "eventlog.csv");
    }
}

TEST_F(MediaCmdRequest, PreviewAnswersTheBytesTheEngineWrote) {
    const struct {
        uint32_t size; // what the engine leaves in size
        size_t length; // the answer's length
    } rows[] = {
        {76 + 5, 5},
        {76, 0},
        {10, 0},
    };
    for (const auto& row : rows) {
        uint32_t sentSize = 0;
        engine_.reply = [&](int32_t, MediaCmd* r) {
            if (r->cmdAlt == kValueTcType) {
                return;
            }
            sentSize = r->size;
            std::memcpy(r->text, "\xFF\xD8\0\x01\x02", 5);
            r->size = row.size;
        };
        CHttpRequest request;
        request.query = "GetState&channel=0";
        char* body = nullptr;
        int32_t length = -1;
        EXPECT_EQ(kxr::HandleMediaPreviewRequest(&client_, &body, &length, &request), 1);
        EXPECT_EQ(sentSize, 0x21C0000u + 0x109Cu);
        EXPECT_EQ(static_cast<size_t>(length), row.length);
        if (row.length == 0) {
            EXPECT_EQ(body, nullptr);
        } else {
            ASSERT_NE(body, nullptr);
            EXPECT_EQ(std::string(body, row.length), std::string("\xFF\xD8\0\x01\x02", 5));
        }
        RVFree(body);
    }
}

} // namespace
