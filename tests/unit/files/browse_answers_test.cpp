// The browsing answers on configured roots over temporary trees: paging from
// the roots down and back, two clients sharing the cursor, file descriptions
// of generated media, directory creation and the argument parsing.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <tinyxml.h>

#include "files/browse_answers.h"
#include "files/file_info.h"
#include "files/file_roots.h"
#include "files/media_description.h"
#include "kxr/rvutil.h"
#include "platform/kxr_path.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// The answer's children of FileDir by element name (the first of each name),
// and the Locator's text ("" when the answer holds only the comment).
struct Parsed {
    bool ok = false;
    std::string comment;
    std::map<std::string, const TiXmlElement*> elements;
    Strings order;
    TiXmlDocument doc;
    std::string Text(const char* name) const {
        auto it = elements.find(name);
        return it == elements.end() || it->second->GetText() == nullptr ? ""
                                                                        : it->second->GetText();
    }
    std::string Attr(const char* name, const char* attribute) const {
        auto it = elements.find(name);
        const char* value = it == elements.end() ? nullptr : it->second->Attribute(attribute);
        return value != nullptr ? value : "<none>";
    }
    bool Has(const char* name) const { return elements.count(name) != 0; }
    Strings Texts(std::initializer_list<const char*> names) const {
        Strings out;
        for (const char* name : names)
            out.push_back(Text(name));
        return out;
    }
};

void Parse(const std::string& text, Parsed* out) {
    out->doc.Parse(text.c_str());
    ASSERT_FALSE(out->doc.Error()) << text;
    ASSERT_NE(text.find("encoding=\"iso-8859-1\""), std::string::npos);
    const TiXmlElement* root = out->doc.RootElement();
    ASSERT_STREQ(root->Value(), "FileDir");
    out->comment = root->FirstChild()->ToComment()->Value();
    for (const TiXmlElement* e = root->FirstChildElement(); e; e = e->NextSiblingElement()) {
        out->elements.emplace(e->Value(), e);
        out->order.push_back(e->Value());
    }
    out->ok = true;
}

class Browse : public ::testing::Test {
protected:
    void SetUp() override {
        dir_ = fs::temp_directory_path() /
               ("kxr_browse_" +
                std::string(::testing::UnitTest::GetInstance()->current_test_info()->name()));
        fs::remove_all(dir_);
        for (const char* d : {"rec", "media/sub.dir", "other"}) {
            fs::create_directories(dir_ / d);
        }
        Touch("media/a.mov", "movie");
        Touch("media/a.picon.jpg", "jpeg");
        Touch("media/b.txt", "text");
        for (const char* f : {"seq0001.dpx", "seq0002.dpx", "seq0003.dpx"}) {
            Touch(std::string("media/") + f, "");
        }
        Touch("media/seq.picon.jpg", "jpeg");
        Touch("other/x.txt", "x");
        std::ofstream(dir_ / "kxr.toml")
            << "[KXR.Internal0]\nDir = '" << (dir_ / "rec").string()
            << "'\n[KXR.NetServer.FileDirs]\nMedia = '" << (dir_ / "media").string()
            << "'\nOther = '" << (dir_ / "other").string() << "'\n";
        ASSERT_EQ(rvCFGOpen((dir_ / "kxr.toml").string().c_str()), 0);
        kxr::FreeFileRoots(nullptr);
        kxr::LoadFileRoots(nullptr);
    }
    void TearDown() override {
        kxr::FreeFileRoots(nullptr);
        rvCFGOpen(nullptr);
        kxr::LoadFileRoots(nullptr);
        fs::remove_all(dir_);
    }
    void Touch(const std::string& name, const std::string& bytes) {
        std::ofstream(dir_ / name, std::ios::binary) << bytes;
    }
    std::string Media(const std::string& tail = "") const {
        return (dir_ / "media").string() + kxr::platform::kPathSeparator + tail;
    }
    // NextDirEntry with the argument, as the dispatcher hands it over.
    void Next(const std::string& argument, Parsed* out, bool flush = false) {
        Parse(kxr::NextDirEntryAnswer(
                  nullptr, argument,
                  (flush ? "KXRXML/NextDirEntryFlush?" : "KXRXML/NextDirEntry?") + argument),
              out);
    }
    std::string NextLocator(const std::string& argument) {
        Parsed p;
        Next(argument, &p);
        return p.Text("Locator");
    }
    fs::path dir_;
};

TEST_F(Browse, WalksTheRootsAndBack) {
    Parsed first;
    Next("", &first);
    EXPECT_EQ(first.comment, " Tarvik FileDir xml structure version 1,0 ");
    EXPECT_EQ(first.Texts({"Locator", "FileType", "TotalFilesInDir"}),
              (Strings{"\\RecordDrive", "Directory", "3"}));
    Parsed media;
    Next("&\\RecordDrive", &media);
    // A configured root's path ends in its separator: its name stands in.
    EXPECT_EQ(media.Texts({"Locator", "FileName"}), (Strings{"\\Media", "\\Media"}));
    EXPECT_EQ(media.Attr("FileType", "IsDirectory"), "1");
    EXPECT_EQ(NextLocator("&RecordDrive"), "\\Media");
    EXPECT_EQ(NextLocator("&\\Media"), "\\Other");
    EXPECT_EQ(NextLocator("/&channel=2"), "\\RecordDrive");
    Parsed end;
    Next("&\\Other", &end);
    EXPECT_TRUE(end.elements.empty());
    // A previous root that names no root: empty texts at root level.
    Parsed none;
    Next("&\\Nowhere", &none);
    EXPECT_EQ(none.Texts({"Locator", "FileType"}), (Strings{"", "Directory"}));
}

TEST_F(Browse, PagesThroughADirectory) {
    Parsed parent;
    Next("\\Media", &parent);
    EXPECT_EQ(parent.Text("Locator"), "\\Media\\..");
    // .., a.mov, a.picon.jpg, b.txt, seq.picon.jpg, seq[...], sub.dir
    EXPECT_EQ(parent.Text("TotalFilesInDir"), "7");
    std::vector<std::string> walked;
    std::string previous = "\\Media\\..";
    for (int guard = 0; guard < 20 && !previous.empty(); ++guard)
        walked.push_back(previous = NextLocator("\\Media&" + previous));
    EXPECT_EQ(walked, (Strings{"\\Media\\a.mov", "\\Media\\a.picon.jpg", "\\Media\\b.txt",
                               "\\Media\\seq.picon.jpg", "\\Media\\seq[0001-0003].dpx",
                               "\\Media\\sub.dir", ""}));
    // Restarting needs no rescan; a new file shows only after a flush.
    Touch("media/c.txt", "");
    EXPECT_EQ(NextLocator("\\Media&\\Media\\b.txt"), "\\Media\\seq.picon.jpg");
    Parsed flushed;
    Next("\\Media&\\Media\\b.txt", &flushed, true);
    EXPECT_EQ(flushed.Text("Locator"), "\\Media\\c.txt");
    // Into a sub-directory, up again and a previous entry not longer than the directory.
    EXPECT_EQ(NextLocator("\\Media\\sub.dir"), "\\Media\\sub.dir\\..");
    EXPECT_EQ(NextLocator("\\Media\\sub.dir\\..&\\Media\\sub.dir\\..\\.."),
              "\\Media\\sub.dir\\..\\a.mov");
    EXPECT_EQ(NextLocator("\\Media&\\M"), "\\Media\\..");
    Parsed gone;
    Next("\\Media&\\Media\\zzz", &gone);
    EXPECT_TRUE(gone.elements.empty());
}

TEST_F(Browse, TwoClientsInterleaveOnOneCursor) {
    // Both clients name their previous entry, so each gets its own next one
    // although they move the same cursor and take the cache from each other.
    std::string a = NextLocator("\\Media");
    std::string b = NextLocator("\\Other");
    EXPECT_EQ(b, "\\Other\\..");
    a = NextLocator("\\Media&" + a);
    b = NextLocator("\\Other&" + b);
    EXPECT_EQ(a + b, "\\Media\\a.mov\\Other\\x.txt");
    EXPECT_EQ(NextLocator("\\Media&" + a), "\\Media\\a.picon.jpg");
    EXPECT_EQ(NextLocator("\\Media&" + a), "\\Media\\a.picon.jpg"); // asked again
    EXPECT_TRUE(NextLocator("\\Other&" + b).empty());
}

TEST_F(Browse, DescribesFilesDirectoriesAndSequences) {
    Parsed file;
    Parse(kxr::FileInfoAnswer(nullptr, "\\media/a.mov"), &file);
    EXPECT_EQ(file.comment, " Tarvik FileInfo xml structure version 1,0 ");
    EXPECT_EQ(file.order, (Strings{"Locator", "Path", "PathRoot", "LocatorRoot", "FileName",
                                   "FileExt", "TotalFilesInDir", "FileType", "Icon", "Size",
                                   "CreationTime", "LastAccessTime", "LastWriteTime", "Attrib",
                                   "ShortFileTypeDesc", "LongFileTypeDesc", "FileTypeFlags"}));
    EXPECT_EQ(file.Texts({"Path", "PathRoot", "FileName", "FileExt", "Icon", "Size", "Attrib"}),
              (Strings{Media("a.mov"), Media(), "a", "mov", "a.picon.jpg", "5", "a"}));
    EXPECT_EQ(
        (Strings{file.Attr("Locator", "IsEndOfList"), file.Attr("FileTypeFlags", "IsContainer"),
                 file.Attr("FileTypeFlags", "IsDiscreet")}),
        (Strings{"0", "1", "0"}));
    EXPECT_EQ(file.Text("LastWriteTime").size(), 25u);

    Parsed dir;
    Parse(kxr::FileInfoAnswer(nullptr, "\\Media\\sub.dir"), &dir);
    EXPECT_EQ(dir.Texts({"FileName", "Icon"}), (Strings{"\\sub.dir", "Graphics\\f0.gif"}));
    EXPECT_FALSE(dir.Has("FileExt"));
    EXPECT_EQ(dir.Attr("FileType", "IsDirectory"), "1");
    EXPECT_EQ(dir.order.back(), "Icon");

    // A range form is described through its first frame; a sequence entry
    // (as the listing hands it over) shows IsSequence and the fallback size.
    Parsed first;
    Parse(kxr::FileInfoAnswer(nullptr, "\\Media\\seq[0001-0003].dpx"), &first);
    EXPECT_EQ(first.Text("Path"), Media("seq0001.dpx"));
    EXPECT_EQ(first.Attr("FileTypeFlags", "IsDiscreet"), "1");
    Parsed seq;
    Next("\\Media&\\Media\\seq.picon.jpg", &seq);
    EXPECT_EQ(seq.Texts({"Locator", "Icon", "Size"}),
              (Strings{"\\Media\\seq[0001-0003].dpx", "seq.picon.jpg", "0"}));
    EXPECT_EQ(seq.Attr("FileType", "IsSequence"), "1");
    EXPECT_FALSE(seq.Has("Attrib"));

    // Missing and empty: the short form with its marker.
    for (const char* argument : {"\\Media\\nothing.mov", ""}) {
        Parsed missing;
        Parse(kxr::FileInfoAnswer(nullptr, argument), &missing);
        EXPECT_EQ(missing.order, (Strings{"Locator", "Path"}));
        EXPECT_EQ((Strings{missing.Text("Path"), missing.Attr("Locator", "IsEndOfList")}),
                  (Strings{"END OF LIST", "1"}));
    }
}

TEST_F(Browse, MakeDirAnswersTheShortForm) {
    Parsed made;
    Parse(kxr::MakeDirAnswer(nullptr, "\\Media\\new"), &made);
    EXPECT_TRUE(fs::is_directory(dir_ / "media" / "new"));
    EXPECT_EQ(made.order, (Strings{"Locator", "Path"}));
    EXPECT_EQ(made.Texts({"Locator", "Path"}), (Strings{"\\Media\\new", Media("new")}));
    // The same answer whether or not it could be made; an over-long path is not made.
    Parse(kxr::MakeDirAnswer(nullptr, "\\Media\\new"), &made);
    const std::string longName(300, 'n');
    Parsed refused;
    Parse(kxr::MakeDirAnswer(nullptr, "\\Media\\" + longName), &refused);
    EXPECT_EQ(refused.Attr("Locator", "IsEndOfList"), "1");
    EXPECT_FALSE(fs::exists(dir_ / "media" / longName.substr(0, 200)));
}

TEST(BrowseArgs, NextDirEntryArguments) {
    struct Row {
        const char* argument;
        const char* directory;
        const char* previous;
        bool roots;
    } rows[] = {
        {"", "", "", true},
        {"\\", "", "", true},
        {"/", "", "", true},
        {"&channel=3", "", "", true},
        {"\\Media&channel=2", "\\Media\\", "", false},
        {"\\Media&\\Media\\..", "\\Media\\", "\\Media\\..", false},
        {"%5CMedia%26%5CMedia%5Ca.mov", "\\Media\\", "\\Media\\a.mov", false},
        {"\\Media\\ &\\Media\\a.mov ", "\\Media\\", "\\Media\\a.mov", false},
        {"\\Media&\\Med", "\\Media\\", "", false},
        {"&\\RecordDrive", "", "\\RecordDrive", true},
    };
    for (const Row& row : rows) {
        const kxr::NextDirArgs args = kxr::ParseNextDirArgs(row.argument);
        EXPECT_EQ(args.directory, row.directory) << row.argument;
        EXPECT_EQ(args.previous, row.previous) << row.argument;
        EXPECT_EQ(args.hasPrevious, row.previous[0] != '\0') << row.argument;
        EXPECT_EQ(args.listRoots, row.roots) << row.argument;
    }
}

TEST(BrowseArgs, FileInfoArguments) {
    struct Row {
        const char* argument;
        const char* locator;
        bool all;
    } rows[] = {
        {"\\x\\a.mov&all", "\\x\\a.mov", true},    {"\\x\\a.mov&all ", "\\x\\a.mov", true},
        {"\\x\\a.mov&allx", "\\x\\a.mov", false},  {"\\x\\a.mov%26all", "\\x\\a.mov", true},
        {"\\x\\a%20b.mov", "\\x\\a b.mov", false},
    };
    for (const Row& row : rows) {
        const kxr::FileInfoArgs args = kxr::ParseFileInfoArgs(row.argument);
        EXPECT_EQ(args.locator, row.locator) << row.argument;
        EXPECT_EQ(args.path, row.locator) << row.argument; // no root loaded matches
        EXPECT_EQ(args.all, row.all) << row.argument;
    }
}

// The extended description from records filled by hand.
struct MediaRecords {
    RLPictureInfo picture;
    RLStreamInfo stream;
    RLSoundInfo sound;
    RLMetadata metadata;
    MediaRecords() { kxr::PresetMediaRecords(&picture, &stream, &sound, &metadata); }
    Parsed Describe(const char* path = "/nowhere/x/y/clip.mov") {
        TiXmlElement* root = new TiXmlElement("FileDir");
        TiXmlDocument doc;
        doc.LinkEndChild(new TiXmlDeclaration("1.0", "iso-8859-1", ""));
        doc.LinkEndChild(root);
        root->LinkEndChild(new TiXmlComment(" c "));
        kxr::AppendMediaRecords(nullptr, path, stream, sound, &metadata, root);
        TiXmlPrinter printer;
        doc.Accept(&printer);
        Parsed p;
        Parse(printer.Str(), &p);
        return p;
    }
};

TEST(MediaDescription, RecordsPresetAsTheLibraryExpects) {
    MediaRecords r;
    const RLMetadata& m = r.metadata;
    // Time code, VITC time code, poster frame and A-frame 0; the others unknown.
    EXPECT_EQ(
        std::vector<uint64_t>({m.numbers[0], m.numbers[2], m.numbers[5], m.numbers[6], m.numbers[1],
                               m.numbers[42], m.reserved968, m.reserved972[19], m.reserved992}),
        std::vector<uint64_t>(
            {0, 0, 0, 0, RL_UNKNOWN, RL_UNKNOWN, 0xFFFFFFFFu, 0xFF, 0x7FFFFFFFu}));
    EXPECT_EQ(m.texts[0], nullptr);
}

TEST(MediaDescription, StreamSoundAndTimeCodeRules) {
    MediaRecords r;
    r.stream.height = -480;
    r.stream.compression = 0x31637661;
    r.stream.length = 250;
    r.metadata.numbers[27] = r.metadata.numbers[28] = r.metadata.numbers[29] = 0; // type fields
    r.metadata.numbers[0] = 90000;
    r.metadata.texts[80] = "never shown"; // slot 81
    r.metadata.texts[8] = "A title";
    Parsed p = r.Describe();
    EXPECT_EQ(p.Texts({"Height", "Compression", "TotalLength", "Title", "TimeCode", "UserBits"}),
              (Strings{"480", "1cva", "250", "A title", "00:50:00:00", "0xFFFFFFFF"}));
    EXPECT_FALSE(p.Has("AudioChannels") || p.Has("ProxyFile"));
    EXPECT_EQ(p.Attr("TimeCode", "TcType"), "non-drop-frame");
    EXPECT_EQ(p.Attr("TimeCodeType", "Value"), "2");

    // Absent type fields: the first is taken, without a name.
    MediaRecords absent;
    absent.stream.compression = 3;
    Parsed q = absent.Describe();
    EXPECT_EQ(q.Texts({"Compression", "TimeCodeType"}), (Strings{"3", ""}));
    EXPECT_EQ((Strings{q.Attr("TimeCode", "TcType"), q.Attr("TimeCodeType", "Value")}),
              (Strings{"", "-1"}));
}

TEST(MediaDescription, TotalLengthWithoutSoundDirectoryRepeatsTheSound) {
    MediaRecords r;
    r.metadata.numbers[17] = 500;
    EXPECT_EQ(r.Describe().Texts({"TotalLength", "AudioChannels"}), (Strings{"500", "0"}));
}

// Media made by the ffmpeg tool: a movie with a start timecode and sound.
TEST_F(Browse, FullDescriptionOfAGeneratedMovie) {
    if (std::system("ffmpeg -hide_banner -version >/dev/null 2>&1") != 0) {
        GTEST_SKIP() << "the ffmpeg tool is not installed";
    }
    const std::string movie = Media("tc.mov");
    const std::string command =
        "ffmpeg -hide_banner -loglevel error -nostdin -y -f lavfi -i "
        "testsrc=size=64x48:rate=25:duration=1 -f lavfi -i sine=sample_rate=48000:duration=1 "
        "-ac 2 -c:v mpeg4 -c:a pcm_s16le -timecode 01:00:00:00 '" +
        movie + "'";
    ASSERT_EQ(std::system(command.c_str()), 0);
    Parsed full;
    Parse(kxr::FileInfoAnswer(nullptr, "\\Media\\tc.mov&all"), &full);
    EXPECT_EQ(full.Texts({"Width", "Height", "TimeCode", "AudioChannels", "AudioFrequency"}),
              (Strings{"64", "48", "01:00:00:00", "2", "48000"}));
    Parsed brief;
    Parse(kxr::FileInfoAnswer(nullptr, "\\Media\\tc.mov"), &brief);
    EXPECT_FALSE(brief.Has("TimeCode"));
    EXPECT_EQ(brief.order.back(), "FileTypeFlags");
}

} // namespace
