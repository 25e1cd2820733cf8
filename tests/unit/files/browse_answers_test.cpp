// The browsing answers on configured roots over temporary trees: paging from
// the roots down and back, two clients sharing the cursor, file descriptions
// and directory creation.
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <string>
#include <vector>

#include "files/browse_answers.h"
#include "files/file_info.h"
#include "temp_tree.h"

namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

// An answer whose root is FileDir: its comment, its children's names in order
// and the first child of a name ("" or "<none>" when missing).
class Answer {
public:
    explicit Answer(const std::string& text) {
        doc_.Parse(text.c_str());
        EXPECT_FALSE(doc_.Error()) << text;
        EXPECT_NE(text.find("encoding=\"iso-8859-1\""), std::string::npos);
        root_ = doc_.RootElement();
        EXPECT_TRUE(root_ != nullptr && std::string(root_->Value()) == "FileDir") << text;
    }
    Answer(const Answer&) = delete; // root_ points into doc_
    std::string Comment() const { return root_->FirstChild()->ToComment()->Value(); }
    Strings Order() const {
        Strings out;
        for (const TiXmlElement* e = root_->FirstChildElement(); e; e = e->NextSiblingElement())
            out.push_back(e->Value());
        return out;
    }
    bool Has(const char* name) const { return root_->FirstChildElement(name) != nullptr; }
    std::string Text(const char* name) const {
        const TiXmlElement* e = root_->FirstChildElement(name);
        return e == nullptr || e->GetText() == nullptr ? "" : e->GetText();
    }
    std::string Attr(const char* name, const char* attribute) const {
        const TiXmlElement* e = root_->FirstChildElement(name);
        const char* value = e == nullptr ? nullptr : e->Attribute(attribute);
        return value != nullptr ? value : "<none>";
    }
    Strings Texts(std::initializer_list<const char*> names) const {
        Strings out;
        for (const char* name : names)
            out.push_back(Text(name));
        return out;
    }

private:
    TiXmlDocument doc_;
    const TiXmlElement* root_ = nullptr;
};

class Browse : public kxrtest::TempTree {
protected:
    void SetUp() override {
        TempTree::SetUp();
        for (const char* name :
             {"rec/", "media/sub.dir/", "other/x.txt", "media/a.picon.jpg", "media/b.txt",
              "media/seq0001.dpx", "media/seq0002.dpx", "media/seq0003.dpx", "media/seq.picon.jpg"})
            Touch(name);
        Touch("media/a.mov", "movie");
        LoadRoots("[KXR.Internal0]\nDir = '" + Dir("rec") +
                  "'\n[KXR.NetServer.FileDirs]\nMedia = '" + Dir("media") + "'\nOther = '" +
                  Dir("other") + "'\n");
    }
    std::string Media(const std::string& tail = "") const { return Local("media") + tail; }
    // NextDirEntry with the argument, as the dispatcher hands it over.
    Answer Next(const std::string& argument, bool flush = false) {
        return Answer(kxr::NextDirEntryAnswer(
            nullptr, argument,
            (flush ? "KXRXML/NextDirEntryFlush?" : "KXRXML/NextDirEntry?") + argument));
    }
    std::string NextLocator(const std::string& argument) { return Next(argument).Text("Locator"); }
};

TEST_F(Browse, WalksTheRootsAndBack) {
    const Answer first = Next("");
    EXPECT_EQ(first.Comment(), " Tarvik FileDir xml structure version 1,0 ");
    EXPECT_EQ(first.Texts({"Locator", "FileType", "TotalFilesInDir"}),
              (Strings{"\\RecordDrive", "Directory", "3"}));
    const Answer media = Next("&\\RecordDrive");
    // A configured root's path ends in its separator: its name stands in.
    EXPECT_EQ(media.Texts({"Locator", "FileName"}), (Strings{"\\Media", "\\Media"}));
    EXPECT_EQ(media.Attr("FileType", "IsDirectory"), "1");
    EXPECT_EQ(NextLocator("&RecordDrive"), "\\Media");
    EXPECT_EQ(NextLocator("&\\Media"), "\\Other");
    EXPECT_EQ(NextLocator("/&channel=2"), "\\RecordDrive");
    EXPECT_TRUE(Next("&\\Other").Order().empty());
    // A previous root that names no root: empty texts at root level.
    EXPECT_EQ(Next("&\\Nowhere").Texts({"Locator", "FileType"}), (Strings{"", "Directory"}));
}

TEST_F(Browse, PagesThroughADirectory) {
    // .., a.mov, a.picon.jpg, b.txt, seq.picon.jpg, seq[...], sub.dir
    EXPECT_EQ(Next("\\Media").Texts({"Locator", "TotalFilesInDir"}), (Strings{"\\Media\\..", "7"}));
    EXPECT_EQ(NextLocator("\\Media&\\Media\\sub.dir"), "");
    // Restarting needs no rescan; a new file shows only after a flush.
    Touch("media/c.txt", "");
    EXPECT_EQ(NextLocator("\\Media&\\Media\\b.txt"), "\\Media\\seq.picon.jpg");
    EXPECT_EQ(Next("\\Media&\\Media\\b.txt", true).Text("Locator"), "\\Media\\c.txt");
    // Into a sub-directory, up again and a previous entry not longer than the directory.
    EXPECT_EQ(NextLocator("\\Media\\sub.dir"), "\\Media\\sub.dir\\..");
    EXPECT_EQ(NextLocator("\\Media\\sub.dir\\..&\\Media\\sub.dir\\..\\.."),
              "\\Media\\sub.dir\\..\\a.mov");
    EXPECT_EQ(NextLocator("\\Media&\\M"), "\\Media\\..");
    // A previous entry that is gone, and a directory that cannot be searched.
    EXPECT_TRUE(Next("\\Media&\\Media\\zzz").Order().empty());
    EXPECT_TRUE(Next("\\Media\\nodir").Order().empty());
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
    const Answer file(kxr::FileInfoAnswer(nullptr, "\\media/a.mov"));
    EXPECT_EQ(file.Comment(), " Tarvik FileInfo xml structure version 1,0 ");
    EXPECT_EQ(file.Order(), (Strings{"Locator", "Path", "PathRoot", "LocatorRoot", "FileName",
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

    const Answer dir(kxr::FileInfoAnswer(nullptr, "\\Media\\sub.dir"));
    EXPECT_EQ(dir.Texts({"FileName", "Icon"}), (Strings{"\\sub.dir", "Graphics\\f0.gif"}));
    EXPECT_FALSE(dir.Has("FileExt"));
    EXPECT_EQ(dir.Attr("FileType", "IsDirectory"), "1");
    EXPECT_EQ(dir.Order().back(), "Icon");

    // A range form is described through its first frame; a sequence entry
    // (as the listing hands it over) shows IsSequence and the fallback size.
    const Answer first(kxr::FileInfoAnswer(nullptr, "\\Media\\seq[0001-0003].dpx"));
    EXPECT_EQ(first.Text("Path"), Media("seq0001.dpx"));
    EXPECT_EQ(first.Attr("FileTypeFlags", "IsDiscreet"), "1");
    const Answer seq = Next("\\Media&\\Media\\seq.picon.jpg");
    EXPECT_EQ(seq.Texts({"Locator", "Icon", "Size"}),
              (Strings{"\\Media\\seq[0001-0003].dpx", "seq.picon.jpg", "0"}));
    EXPECT_EQ(seq.Attr("FileType", "IsSequence"), "1");
    EXPECT_FALSE(seq.Has("Attrib"));
    // A missing file: the short form (its texts: the HTTP confinement tests).
    EXPECT_EQ(Answer(kxr::FileInfoAnswer(nullptr, "\\Media\\nothing.mov")).Order(),
              (Strings{"Locator", "Path"}));
}

TEST_F(Browse, MakeDirAnswersTheShortForm) {
    const Answer made(kxr::MakeDirAnswer(nullptr, "\\Media\\new"));
    EXPECT_TRUE(fs::is_directory(dir_ / "media" / "new"));
    EXPECT_EQ(made.Order(), (Strings{"Locator", "Path"}));
    EXPECT_EQ(made.Texts({"Locator", "Path"}), (Strings{"\\Media\\new", Media("new")}));
    // An over-long path is not made (the answer, made or not: the HTTP confinement tests).
    const std::string longName(300, 'n');
    const Answer refused(kxr::MakeDirAnswer(nullptr, "\\Media\\" + longName));
    EXPECT_EQ(refused.Attr("Locator", "IsEndOfList"), "1");
    EXPECT_FALSE(fs::exists(dir_ / "media" / longName.substr(0, 200)));
}

} // namespace
