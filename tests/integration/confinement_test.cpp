// Confinement over HTTP: every route that opens a name a client gives, asked
// through the real kxr-host for a name inside the roots and for each way out
// (parent segments plain and percent-encoded, backslashes, absolute names,
// links, a sibling that shares a root's prefix). The routes share the checks
// of access/containment, so each form is asked where that route decodes or
// maps it, not on every route. Outside answers as missing does on that
// route. Links are skipped where the system cannot make them; the Windows
// forms run where the host is the Windows build (under Wine).
#include <gtest/gtest.h>
#include <tinyxml.h>

#include <algorithm>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "host_process.h"
#include "platform/kxr_path.h"
#include "tests/support/short_name.h"

namespace {

namespace fs = std::filesystem;

const bool kWindowsHost = kxr::platform::kPathSeparator == '\\';

// The tree beside the host's own: files/ is the root \Media; files2/ shares
// its prefix; outside/ and x.txt belong to no root.
void MakeTree(const kxrit::HostProcess& host) {
    const fs::path d = host.Dir();
    kxrtest::WriteFile(host.Root() / "index.html", "home");
    kxrtest::WriteFile(host.Root() / "page.txt", "doc page");
    kxrtest::WriteFile(host.Root() / "longpagename.txt", "long page");
    kxrtest::WriteFile(host.Root() / "list" / "a.txt", "a");
    kxrtest::WriteFile(d / "files" / "clips" / "a.txt", "clip text");
    kxrtest::WriteFile(d / "files2" / "secret.txt", "SECRET2");
    kxrtest::WriteFile(d / "outside" / "secret.txt", "SECRET");
    kxrtest::WriteFile(d / "x.txt", "SECRET3");
}

// Links out of the roots (files/out, files/secret.txt, www/list/out) and
// one from the document root into another root (www/shared). False when
// the system makes no links.
bool MakeLinks(const kxrit::HostProcess& host) {
    const fs::path d = host.Dir();
    std::error_code error;
    fs::create_directory_symlink(d / "outside", d / "files" / "out", error);
    if (!error)
        fs::create_symlink(d / "outside" / "secret.txt", d / "files" / "secret.txt", error);
    if (!error)
        fs::create_directory_symlink(d / "outside", host.Root() / "list" / "out", error);
    if (!error)
        fs::create_directory_symlink(d / "files", host.Root() / "shared", error);
    // Some systems (Wine) report links made that lead nowhere.
    return !error && fs::exists(d / "files" / "out" / "secret.txt", error) &&
           fs::exists(host.Root() / "shared" / "clips" / "a.txt", error);
}

std::string StatusAndBodyText(const std::string& answer) {
    const auto [status, body] = kxrit::StatusAndBody(answer);
    return status + " | " + body;
}

// The text of an element of an XML answer, or "<missing>".
std::string Element(const std::string& body, const char* name, const char* attribute = nullptr) {
    TiXmlDocument document;
    document.Parse(body.c_str());
    const TiXmlElement* root = document.RootElement();
    const TiXmlElement* e = root != nullptr ? root->FirstChildElement(name) : nullptr;
    if (e == nullptr)
        return "<missing>";
    const char* text = attribute != nullptr ? e->Attribute(attribute) : e->GetText();
    return text != nullptr ? text : "";
}

const std::string kNothing = "<nothing>";

class Confinement : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        host_ = std::make_unique<kxrit::HostProcess>();
        MakeTree(*host_);
        links_ = MakeLinks(*host_);
        started_ = host_->Start("[KXR.NetServer.FileDirs]\nMedia = '" +
                                (host_->Dir() / "files").string() + "'\n");
    }
    static void TearDownTestSuite() { host_.reset(); }
    void SetUp() override { ASSERT_TRUE(started_) << host_->Failure(); }

    static std::string In(const std::string& relative) {
        return (host_->Dir() / fs::path(relative).make_preferred()).string();
    }
    static std::string Get(const std::string& target) { return host_->Get(target); }
    // The body of a file answer, or kNothing when no byte came (no file).
    static std::string FileAnswer(const std::string& word, const std::string& name) {
        const std::string answer = Get("/KXR" + word + "?" + name);
        return answer.empty() ? kNothing : kxrtest::Body(answer);
    }
    static std::string Picon(const std::string& name) {
        return StatusAndBodyText(Get("/KXRXML/GetPicon?" + name));
    }
    // "path" of a described file, or "END" for the short form at the end.
    static std::string Info(const std::string& argument) {
        const std::string body = kxrtest::Body(Get("/KXRXML/FileInfo?" + argument));
        return Element(body, "Locator", "IsEndOfList") == "1" ? "END" : Element(body, "Path");
    }
    // Every locator of a NextDirEntry walk; empty when the first answer ends.
    static std::vector<std::string> Walk(const std::string& directory) {
        std::vector<std::string> walked;
        std::string argument = directory;
        while (walked.size() < 20) {
            const std::string body = kxrtest::Body(Get("/KXRXML/NextDirEntry?" + argument));
            const std::string locator = Element(body, "Locator");
            if (locator == "<missing>")
                break;
            walked.push_back(locator);
            argument = directory + "&" + locator;
        }
        return walked;
    }

    static inline std::unique_ptr<kxrit::HostProcess> host_;
    static inline bool started_ = false;
    static inline bool links_ = false;
};

const std::string kNotFound = "HTTP/1.1 404 Not Found";

TEST_F(Confinement, StaticFilesAndLocators) {
    const struct {
        const char* target;
        std::string answer;
    } rows[] = {
        {"/page.txt", "HTTP/1.1 200 OK | doc page"},
        {"/Media%5Cclips%5Ca.txt", "HTTP/1.1 200 OK | clip text"},
        // A name the server cannot find below the document root, whatever
        // it spells outside.
        {"//x.txt", kNotFound},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StatusAndBodyText(Get(row.target)).substr(0, row.answer.size()), row.answer)
            << row.target;
    }
    // An absolute name of a file outside, after the target's slash.
    EXPECT_EQ(kxrit::StatusAndBody(Get("/" + In("outside/secret.txt"))).first, kNotFound);
    // Parent segments, plain or encoded, are refused as they always were.
    for (const char* target :
         {"/../x.txt", "/%2e%2e/x.txt", "/%2E%2E%2Fx.txt", "/..%5Cx.txt", "/Media/../../x.txt"})
        EXPECT_EQ(kxrit::StatusAndBody(Get(target)).first, "HTTP/1.1 403 Forbidden") << target;
}

TEST_F(Confinement, StaticFilesThroughLinks) {
    if (!links_)
        GTEST_SKIP() << "no symbolic links here";
    const struct {
        const char* target;
        std::string answer;
    } rows[] = {
        {"/Media/out/secret.txt", kNotFound},
        {"/Media/secret.txt", kNotFound},
        {"/list/out%2Fsecret.txt", kNotFound},
        {"/list/out/", kNotFound},
        // A link from the document root into another root leads inside.
        {"/shared/clips/a.txt", "HTTP/1.1 200 OK | clip text"},
    };
    for (const auto& row : rows) {
        EXPECT_EQ(StatusAndBodyText(Get(row.target)).substr(0, row.answer.size()), row.answer)
            << row.target;
    }
    // A listing leaves out the link that leads out, and keeps the files.
    const std::string listing = kxrtest::Body(Get("/list/"));
    EXPECT_NE(listing.find("a.txt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("out"), std::string::npos) << listing;
}

// PassThrough and Page are one file answer, which takes its name undecoded.
TEST_F(Confinement, PassThroughAndPage) {
    const struct {
        std::string name;
        std::string answer;
    } rows[] = {
        {"page.txt", "doc page"},
        {In("files/clips/a.txt"), "clip text"},
        {In("outside/secret.txt"), kNothing},
        {"../x.txt", kNothing},
        {"..\\x.txt", kNothing},
        {In("files/../x.txt"), kNothing},
        {In("files2/secret.txt"), kNothing},
        // An escape is part of the name: it climbs nowhere.
        {"..%2Fx.txt", kNothing},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FileAnswer("PassThrough", row.name), row.answer) << row.name;
    EXPECT_EQ(FileAnswer("Page", "page.txt"), "doc page");
    EXPECT_EQ(FileAnswer("Page", In("outside/secret.txt")), kNothing);
    // Long names: 2800 characters that climb and descend again.
    std::string climbs;
    for (int i = 0; i < 350; ++i)
        climbs += "list/../";
    EXPECT_EQ(FileAnswer("PassThrough", climbs + "../x.txt"), kNothing);
    // Windows opens no relative name that long.
    if (!kWindowsHost) {
        EXPECT_EQ(FileAnswer("PassThrough", climbs + "page.txt"), "doc page");
    }
    if (links_) {
        EXPECT_EQ(FileAnswer("PassThrough", In("files/out/secret.txt")), kNothing);
        EXPECT_EQ(FileAnswer("PassThrough", In("www/shared/clips/a.txt")), "clip text");
    }
}

TEST_F(Confinement, GetPiconWithAFileName) {
    const struct {
        std::string name;
        std::string answer;
    } rows[] = {
        // No picture can be made of a text: the file named is sent.
        {In("files/clips/a.txt"), "HTTP/1.1 200 OK | clip text"},
        {"\\Media\\clips\\a.txt", "HTTP/1.1 200 OK | clip text"},
        {In("outside/secret.txt"), kNotFound},
        {"\\Media\\..\\x.txt", kNotFound},
        {In("files2/secret.txt"), kNotFound},
        // A name short enough for a clip, which the engine hands back.
        {"../x.txt", kNotFound},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Picon(row.name).substr(0, row.answer.size()), row.answer) << row.name;
    if (links_) {
        EXPECT_EQ(Picon("\\Media\\out\\secret.txt").substr(0, kNotFound.size()), kNotFound);
    }
}

// FileInfo decodes its argument.
TEST_F(Confinement, FileInfo) {
    const std::string clip = In("files/clips/a.txt");
    const struct {
        std::string argument;
        std::string path;
    } rows[] = {
        {"\\Media\\clips\\a.txt", clip},
        {"%5CMedia%5Cclips%5Ca.txt", clip},
        {In("outside/secret.txt") + "&all", "END"},
        {"%5CMedia%5C..%5Cx.txt", "END"},
        {"%5CMedia%5C%2E%2E%2Fx.txt", "END"},
        {"\\Media\\..\\files2\\secret.txt", "END"},
        {In("outside") + kxr::platform::kPathSeparator + "*.txt", "END"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(Info(row.argument), row.path) << row.argument;
    if (links_) {
        EXPECT_EQ(Info("\\Media\\secret.txt&all"), "END");
    }
}

// A folder whose name decodes to a path out of the root, made through
// MakeDir (which takes its name undecoded), is described as a missing file:
// nothing of the file it decodes to is read.
TEST_F(Confinement, FileInfoOfANameThatDecodesOutside) {
    const std::string name = "%2e%2e%2fx.txt";
    Get("/KXRXML/MakeDir?\\Media\\" + name);
    ASSERT_TRUE(fs::is_directory(host_->Dir() / "files" / name));
    const std::string body =
        kxrtest::Body(Get("/KXRXML/FileInfo?\\Media\\%252e%252e%252fx.txt&all"));
    EXPECT_EQ(Element(body, "Size"), "0") << body;
    EXPECT_EQ(Element(body, "LastWriteTime"), "<missing>") << body;
}

TEST_F(Confinement, NextDirEntry) {
    const std::vector<std::string> clips = {"\\Media\\clips\\..", "\\Media\\clips\\a.txt"};
    EXPECT_EQ(Walk("%5CMedia%5Cclips"), clips);
    for (const char* outside : {"%5CMedia%5C..%5C..", "\\Media\\..\\files2\\"})
        EXPECT_TRUE(Walk(outside).empty()) << outside;
    if (links_) {
        EXPECT_TRUE(Walk("\\Media\\out\\").empty());
        // The root lists its folder, not the links that lead out.
        const std::vector<std::string> root = Walk("\\Media");
        EXPECT_NE(std::find(root.begin(), root.end(), "\\Media\\clips"), root.end());
        EXPECT_EQ(std::find(root.begin(), root.end(), "\\Media\\out"), root.end());
        EXPECT_EQ(std::find(root.begin(), root.end(), "\\Media\\secret.txt"), root.end());
    }
}

TEST_F(Confinement, MakeDir) {
    const fs::path d = host_->Dir();
    const struct {
        std::string argument;
        fs::path made;
        bool exists;
    } rows[] = {
        {"\\Media\\new", d / "files" / "new", true},
        {In("files/abs"), d / "files" / "abs", true},
        {"\\Media\\..\\made", d / "made", false},
        {"\\Media\\nope\\..\\..\\made2", d / "made2", false},
        {In("outside/made"), d / "outside" / "made", false},
        {"\\Media\\..\\files2\\made", d / "files2" / "made", false},
        // The name is taken undecoded: an escape makes a plain name inside.
        {"\\Media\\%2e%2e%2fmade3", d / "files" / "%2e%2e%2fmade3", true},
    };
    for (const auto& row : rows) {
        const std::string body = kxrtest::Body(Get("/KXRXML/MakeDir?" + row.argument));
        // The answer says nothing of the outcome.
        EXPECT_EQ(Element(body, "Locator", "IsEndOfList"), "1") << row.argument;
        EXPECT_EQ(fs::is_directory(row.made), row.exists) << row.argument;
    }
    if (links_) {
        Get("/KXRXML/MakeDir?\\Media\\out\\made");
        EXPECT_FALSE(fs::exists(d / "outside" / "made"));
    }
}

// Transfer makes a clip of any file it is given; from outside it is given
// none.
TEST_F(Confinement, MediaCmdTransfer) {
    const struct {
        std::string file;
        const char* clip;
        bool made;
    } rows[] = {
        {In("files/clips/a.txt"), "INSIDE", true},
        {In("outside/secret.txt"), "OUTSIDE", false},
        {"..\\x.txt", "UP", false},
    };
    for (const auto& row : rows) {
        Get("/KXRXML/MediaCmd?Transfer&channel=0&clipname=" + std::string(row.clip) +
            "&filename=" + row.file);
        const std::string info =
            kxrtest::Body(Get("/KXRXML/ClipInfo?" + std::string(row.clip) + "&channel=0"));
        EXPECT_EQ(Element(info, "ClipID") == row.clip, row.made) << row.file << "\n" << info;
    }
}

// The requests of a fresh install that used to reach anywhere.
TEST_F(Confinement, SystemFilesStayOutOfReach) {
    const std::string system = kWindowsHost ? "C:\\windows\\win.ini" : "/etc/passwd";
    EXPECT_EQ(FileAnswer("PassThrough", system), kNothing);
    EXPECT_EQ(Info(system + "&all"), "END");
    EXPECT_EQ(Picon(system).substr(0, kNotFound.size()), kNotFound);
    Get("/KXRXML/MakeDir?" + In("outside/anything"));
    EXPECT_FALSE(fs::exists(host_->Dir() / "outside" / "anything"));
}

// Names only Windows gives a meaning: verbatim and device forms, network
// shares, drive-relative names, short names, streams, trailing dots and
// blanks, device names. Each answers as a missing file, or finds the file
// inside a root that it names.
TEST_F(Confinement, WindowsPathForms) {
    if (!kWindowsHost)
        GTEST_SKIP() << "the Windows build's forms";
    const std::string secret = In("outside/secret.txt");
    const std::string page = In("www/page.txt");
    const std::string drive = host_->Dir().root_name().string();
    const struct {
        std::string name;
        std::string answer;
    } rows[] = {
        {"\\\\?\\" + secret, kNothing},
        {"\\\\?\\" + page, kNothing},
        {"\\\\.\\" + secret, kNothing},
        {"//?/" + secret, kNothing},
        {"\\??\\" + secret, kNothing},
        {"\\\\127.0.0.1\\c$\\windows\\win.ini", kNothing},
        {"\\\\localhost\\share\\x.txt", kNothing},
        // The working directory is the document root, on this drive.
        {drive + "..\\outside\\secret.txt", kNothing},
        {drive + "page.txt", "doc page"},
        {page + "::$DATA", kNothing},
        {page + ":stream", kNothing},
        {secret + ". . ", kNothing},
        {page + ".", "doc page"},
        {page + " ", "doc page"},
        {"CON", kNothing},
        {"nul.txt", kNothing},
        {In("www/COM1"), kNothing},
        {In("www/" + std::string(300, 'q') + ".txt"), kNothing},
        {"C:\\windows\\..\\windows\\win.ini", kNothing},
    };
    for (const auto& row : rows)
        EXPECT_EQ(FileAnswer("PassThrough", row.name), row.answer) << row.name;

    // Short names lead where their long names do.
    const std::string shortPage = kxrtest::ShortPathOf(host_->Root() / "longpagename.txt");
    const std::string shortSecret = kxrtest::ShortPathOf(host_->Dir() / "outside" / "secret.txt");
    ASSERT_FALSE(shortPage.empty());
    ASSERT_NE(shortSecret, secret);
    EXPECT_EQ(FileAnswer("PassThrough", shortPage), "long page") << shortPage;
    EXPECT_EQ(FileAnswer("PassThrough", shortSecret), kNothing) << shortSecret;
    const std::string shortName = fs::path(shortPage).filename().string();
    EXPECT_EQ(StatusAndBodyText(Get("/" + shortName)), "HTTP/1.1 200 OK | long page") << shortName;

    // Static targets, among them parents spelled with dots and blanks.
    for (const char* target : {"/CON", "/nul.txt", "/page.txt::$DATA", "/list/..%5C..%5Cx.txt",
                               "/..%20/x.txt", "/.../x.txt", "/..%2E/x.txt", "/.. ./x.txt"})
        EXPECT_NE(kxrit::StatusAndBody(Get(target)).first, "HTTP/1.1 200 OK") << target;
    // Components of dots and blanks, which Windows reads as "..".
    Get("/KXRXML/MakeDir?\\Media\\.. .\\made");
    Get("/KXRXML/MakeDir?\\Media\\... \\made");
    EXPECT_FALSE(fs::exists(host_->Dir() / "made"));
}

// Confine = 0 restores the open behaviour.
TEST(ConfinementOff, EveryNameGoesThrough) {
    kxrit::HostProcess host;
    MakeTree(host);
    ASSERT_TRUE(
        host.Start("[KXR.NetServer.FileDirs]\nMedia = '" + (host.Dir() / "files").string() + "'\n",
                   "Confine = 0\n"))
        << host.Failure();
    const std::string secret = (host.Dir() / "outside" / "secret.txt").string();
    EXPECT_EQ(kxrtest::Body(host.Get("/KXRPassThrough?" + secret)), "SECRET");
    EXPECT_EQ(kxrtest::Body(host.Get("/KXRPassThrough?../x.txt")), "SECRET3");
    const std::string info = kxrtest::Body(host.Get("/KXRXML/FileInfo?" + secret));
    EXPECT_EQ(Element(info, "Path"), secret);
    EXPECT_EQ(Element(info, "Size"), "6");
    host.Get("/KXRXML/MakeDir?" + (host.Dir() / "outside" / "made").string());
    EXPECT_TRUE(fs::is_directory(host.Dir() / "outside" / "made"));
    EXPECT_NE(host.Output().find("Confine = 0"), std::string::npos) << host.Output();
}

} // namespace
