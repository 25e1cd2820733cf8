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
const std::string kNothing = "<nothing>";
const std::string kNotFound = "HTTP/1.1 404 Not Found";
const std::string kForbidden = "HTTP/1.1 403 Forbidden";

// The tree beside the host's own: files/ is the root \Media; files2/ shares
// its prefix; outside/ and x.txt belong to no root.
void MakeTree(const kxrit::HostProcess& host) {
    const std::pair<const char*, const char*> files[] = {{"www/page.txt", "doc page"},
                                                         {"www/longpagename.txt", "long page"},
                                                         {"www/list/a.txt", "a"},
                                                         {"files/clips/a.txt", "clip text"},
                                                         {"files2/secret.txt", "SECRET2"},
                                                         {"outside/secret.txt", "SECRET"},
                                                         {"x.txt", "SECRET3"}};
    for (const auto& [name, text] : files)
        kxrtest::WriteFile(host.Dir() / fs::path(name), text);
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

class Confinement : public ::testing::Test {
protected:
    struct Row {
        std::string name, answer;
    };

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
    // The body of a 200 answer, the status line of any other, or kNothing
    // when no byte came (the file answer's way of saying no file).
    static std::string Answer(const std::string& target) {
        const std::string answer = Get(target);
        const auto [status, body] = kxrit::StatusAndBody(answer);
        return answer.empty() ? kNothing : status == "HTTP/1.1 200 OK" ? body : status;
    }
    // "path" of a described file, or "END" for the short form at the end.
    static std::string Info(const std::string& target) {
        const std::string body = kxrtest::Body(Get(target));
        return Element(body, "Locator", "IsEndOfList") == "1" ? "END" : Element(body, "Path");
    }
    // Each row's name asked on route, answered as the row says.
    static void Expect(const std::string& route, const std::vector<Row>& rows,
                       std::string (*ask)(const std::string&) = &Answer) {
        for (const Row& row : rows)
            EXPECT_EQ(ask(route + row.name), row.answer) << route << row.name;
    }
    // Every locator of a NextDirEntry walk; empty when the first answer ends.
    static std::vector<std::string> Walk(const std::string& directory) {
        std::vector<std::string> walked;
        for (std::string argument = directory; walked.size() < 20;) {
            const std::string locator =
                Element(kxrtest::Body(Get("/KXRXML/NextDirEntry?" + argument)), "Locator");
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

// Names outside are ones the server cannot find below the document root;
// parent segments, plain or encoded, are refused as they always were.
TEST_F(Confinement, StaticFilesAndLocators) {
    Expect("/", {{"page.txt", "doc page"},
                 {"Media%5Cclips%5Ca.txt", "clip text"},
                 {"/x.txt", kNotFound},
                 {In("outside/secret.txt"), kNotFound},
                 {"../x.txt", kForbidden},
                 {"%2E%2E%2Fx.txt", kForbidden},
                 {"..%5Cx.txt", kForbidden},
                 {"Media/../../x.txt", kForbidden}});
}

// Links out of a root lead nowhere on any route; a link from the document
// root into another root leads inside.
TEST_F(Confinement, EveryRouteThroughLinks) {
    if (!links_)
        GTEST_SKIP() << "no symbolic links here";
    Expect("/", {{"Media/out/secret.txt", kNotFound},
                 {"Media/secret.txt", kNotFound},
                 {"list/out%2Fsecret.txt", kNotFound},
                 {"list/out/", kNotFound},
                 {"shared/clips/a.txt", "clip text"}});
    // A listing leaves out the link that leads out, and keeps the files.
    const std::string listing = kxrtest::Body(Get("/list/"));
    EXPECT_NE(listing.find("a.txt"), std::string::npos) << listing;
    EXPECT_EQ(listing.find("out"), std::string::npos) << listing;
    Expect("/KXRPassThrough?",
           {{In("files/out/secret.txt"), kNothing}, {In("www/shared/clips/a.txt"), "clip text"}});
    EXPECT_EQ(Answer("/KXRXML/GetPicon?\\Media\\out\\secret.txt"), kNotFound);
    EXPECT_EQ(Info("/KXRXML/FileInfo?\\Media\\secret.txt&all"), "END");
    EXPECT_TRUE(Walk("\\Media\\out\\").empty());
    // The root lists its folder, not the links that lead out.
    const std::vector<std::string> root = Walk("\\Media");
    EXPECT_NE(std::find(root.begin(), root.end(), "\\Media\\clips"), root.end());
    EXPECT_EQ(std::find(root.begin(), root.end(), "\\Media\\out"), root.end());
    EXPECT_EQ(std::find(root.begin(), root.end(), "\\Media\\secret.txt"), root.end());
    Get("/KXRXML/MakeDir?\\Media\\out\\made");
    EXPECT_FALSE(fs::exists(host_->Dir() / "outside" / "made"));
}

// PassThrough and Page are one file answer, which takes its name undecoded.
TEST_F(Confinement, PassThroughAndPage) {
    Expect("/KXRPassThrough?", {{"page.txt", "doc page"},
                                {In("files/clips/a.txt"), "clip text"},
                                {In("outside/secret.txt"), kNothing},
                                {"../x.txt", kNothing},
                                {"..\\x.txt", kNothing},
                                {In("files/../x.txt"), kNothing},
                                {In("files2/secret.txt"), kNothing}});
    Expect("/KXRPage?", {{"page.txt", "doc page"}, {In("outside/secret.txt"), kNothing}});
    // Long names: 2800 characters that climb and descend again.
    std::string climbs;
    for (int i = 0; i < 350; ++i)
        climbs += "list/../";
    EXPECT_EQ(Answer("/KXRPassThrough?" + climbs + "../x.txt"), kNothing);
    // Windows opens no relative name that long.
    if (!kWindowsHost) {
        EXPECT_EQ(Answer("/KXRPassThrough?" + climbs + "page.txt"), "doc page");
    }
}

// No picture can be made of a text: the file named is sent.
TEST_F(Confinement, GetPiconWithAFileName) {
    Expect("/KXRXML/GetPicon?", {{In("files/clips/a.txt"), "clip text"},
                                 {"\\Media\\clips\\a.txt", "clip text"},
                                 {In("outside/secret.txt"), kNotFound},
                                 {"\\Media\\..\\x.txt", kNotFound},
                                 // A name short enough for a clip, which the engine hands back.
                                 {"../x.txt", kNotFound}});
}

// FileInfo decodes its argument.
TEST_F(Confinement, FileInfo) {
    const std::string clip = In("files/clips/a.txt");
    Expect("/KXRXML/FileInfo?",
           {{"\\Media\\clips\\a.txt", clip},
            {"%5CMedia%5Cclips%5Ca.txt", clip},
            {In("outside/secret.txt") + "&all", "END"},
            {"%5CMedia%5C%2E%2E%2Fx.txt", "END"},
            {"\\Media\\..\\files2\\secret.txt", "END"},
            {In("outside") + kxr::platform::kPathSeparator + "*.txt", "END"}},
           &Info);
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
    EXPECT_EQ(Walk("%5CMedia%5Cclips"),
              (std::vector<std::string>{"\\Media\\clips\\..", "\\Media\\clips\\a.txt"}));
    for (const char* outside : {"%5CMedia%5C..%5C..", "\\Media\\..\\files2\\"})
        EXPECT_TRUE(Walk(outside).empty()) << outside;
}

// A folder is made only where it lands below files/; the answer says
// nothing of the outcome.
TEST_F(Confinement, MakeDir) {
    const std::pair<std::string, std::string> rows[] = {
        {"\\Media\\new", "files/new"},
        {In("files/abs"), "files/abs"},
        {"\\Media\\..\\made", "made"},
        {"\\Media\\nope\\..\\..\\made2", "made2"},
        {In("outside/made"), "outside/made"},
        // The name is taken undecoded: an escape makes a plain name inside.
        {"\\Media\\%2e%2e%2fmade3", "files/%2e%2e%2fmade3"}};
    for (const auto& [argument, made] : rows) {
        const std::string body = kxrtest::Body(Get("/KXRXML/MakeDir?" + argument));
        EXPECT_EQ(Element(body, "Locator", "IsEndOfList"), "1") << argument;
        EXPECT_EQ(fs::is_directory(host_->Dir() / fs::path(made)), made.rfind("files/", 0) == 0)
            << argument;
    }
}

// Transfer makes a clip of any file it is given; from outside it is given
// none.
TEST_F(Confinement, MediaCmdTransfer) {
    for (const auto& [file, clip] : {std::pair{In("files/clips/a.txt"), "INSIDE"},
                                     std::pair{In("outside/secret.txt"), "OUTSIDE"},
                                     std::pair{std::string("..\\x.txt"), "UP"}}) {
        Get("/KXRXML/MediaCmd?Transfer&channel=0&clipname=" + std::string(clip) +
            "&filename=" + file);
        const std::string info =
            kxrtest::Body(Get("/KXRXML/ClipInfo?" + std::string(clip) + "&channel=0"));
        EXPECT_EQ(Element(info, "ClipID") == clip, clip == std::string("INSIDE")) << file << "\n"
                                                                                  << info;
    }
}

// Names only Windows gives a meaning, one of each family: verbatim, device
// and object-manager forms, network shares, drive-relative names, streams,
// trailing dots and blanks, device names, short names. Each answers as a
// missing file, or finds the file inside a root that it names.
TEST_F(Confinement, WindowsPathForms) {
    if (!kWindowsHost)
        GTEST_SKIP() << "the Windows build's forms";
    const std::string secret = In("outside/secret.txt");
    const std::string page = In("www/page.txt");
    // The working directory is the document root, on this drive.
    const std::string drive = host_->Dir().root_name().string();
    Expect("/KXRPassThrough?", {{"\\\\?\\" + secret, kNothing},
                                {"\\\\.\\" + secret, kNothing},
                                {"\\??\\" + secret, kNothing},
                                {"\\\\127.0.0.1\\c$\\windows\\win.ini", kNothing},
                                {drive + "..\\outside\\secret.txt", kNothing},
                                {drive + "page.txt", "doc page"},
                                {page + "::$DATA", kNothing},
                                {secret + ". . ", kNothing},
                                {page + ".", "doc page"},
                                {"nul.txt", kNothing},
                                {In("www/con .txt"), kNothing},
                                {In("www/COM1"), kNothing}});

    // Short names lead where their long names do.
    const std::string shortPage = kxrtest::ShortPathOf(host_->Root() / "longpagename.txt");
    const std::string shortSecret = kxrtest::ShortPathOf(host_->Dir() / "outside" / "secret.txt");
    ASSERT_FALSE(shortPage.empty());
    ASSERT_NE(shortSecret, secret);
    Expect("/KXRPassThrough?", {{shortPage, "long page"}, {shortSecret, kNothing}});
    EXPECT_EQ(Answer("/" + fs::path(shortPage).filename().string()), "long page");

    // Static targets, among them parents spelled with dots and blanks.
    for (const char* target :
         {"/CON", "/page.txt::$DATA", "/list/..%5C..%5Cx.txt", "/..%20/x.txt", "/.../x.txt"})
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
    const fs::path d = host.Dir();
    ASSERT_TRUE(host.Start("[KXR.NetServer.FileDirs]\nMedia = '" + (d / "files").string() + "'\n",
                           "Confine = 0\n"))
        << host.Failure();
    const std::string secret = (d / "outside" / "secret.txt").string();
    EXPECT_EQ(kxrtest::Body(host.Get("/KXRPassThrough?" + secret)), "SECRET");
    EXPECT_EQ(kxrtest::Body(host.Get("/KXRPassThrough?../x.txt")), "SECRET3");
    EXPECT_EQ(Element(kxrtest::Body(host.Get("/KXRXML/FileInfo?" + secret)), "Size"), "6");
    host.Get("/KXRXML/MakeDir?" + (d / "outside" / "made").string());
    EXPECT_TRUE(fs::is_directory(d / "outside" / "made"));
    EXPECT_NE(host.Output().find("Confine = 0"), std::string::npos) << host.Output();
}

} // namespace
