// The tree `cmake --install` makes, staged with DESTDIR: nothing in it points back to this build
// or source tree, the run-time has a versioned soname, the installed host finds the installed
// plug-in and reports its version, a host built elsewhere with pkg-config alone works, every
// installed header stands alone, and the manual page knows every option of --help.
#include "host_runner.h"
#include "infra/version/version_info.h"

#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <regex>
#include <set>
#include <sstream>
#include <unistd.h>

namespace {

namespace fs = std::filesystem;
using quill::test::RunCommand;
using quill::test::TCommandOutput;

std::string Quoted(const fs::path& path) {
    return "'" + path.string() + "'";
}

std::string ReadText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}

bool IsElf(const fs::path& path) {
    return ReadText(path).rfind("\x7f"
                                "ELF",
                                0) == 0;
}

// One staged installation for the whole program: installing takes a few seconds.
class InstalledTree : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        Stage = fs::temp_directory_path() / ("quill-installed-" + std::to_string(getpid()));
        fs::remove_all(Stage);
        Install = RunCommand("DESTDIR=" + Quoted(Stage) +
                             " '" QUILL_CMAKE_COMMAND "' --install '" QUILL_BINARY_DIR "' 2>&1");
        // The prefix the tree was configured with, found by where quill-host landed.
        for (const auto& entry : fs::recursive_directory_iterator(Stage))
            if (entry.path().filename() == "quill-host")
                Prefix = entry.path().parent_path().parent_path();
    }
    static void TearDownTestSuite() { fs::remove_all(Stage); }

    void SetUp() override {
        ASSERT_EQ(Install.Status, 0) << Install.Text;
        ASSERT_FALSE(Prefix.empty()) << "no quill-host was installed:\n" << Install.Text;
    }

    static fs::path PkgConfigDir() {
        for (const auto& entry : fs::recursive_directory_iterator(Prefix))
            if (entry.path().filename() == "quill.pc") return entry.path().parent_path();
        return {};
    }
    // A shell command with pkg-config reading the staged quill.pc, its paths inside the stage.
    static std::string WithPkgConfig(const std::string& command) {
        return "export PKG_CONFIG_SYSROOT_DIR=" + Quoted(Stage) +
               " PKG_CONFIG_LIBDIR=" + Quoted(PkgConfigDir()) + "; " + command;
    }
    TCommandOutput RunInstalledHost(const std::string& arguments) const {
        return RunCommand("QUILL_DATA_DIR=" + Quoted(Stage / "data") + " timeout 60 " +
                          Quoted(Prefix / "bin" / "quill-host") + " " + arguments +
                          " </dev/null 2>&1");
    }

    static inline fs::path Stage;
    static inline fs::path Prefix;
    static inline TCommandOutput Install;
};

} // namespace

TEST_F(InstalledTree, NothingInstalledRefersToTheBuildOrSourceTree) {
    // A debugging build carries its source paths in its debug information and assertions by
    // design; the package is a release build.
    const bool release = std::string(QUILL_BUILD_TYPE) == "Release";
    const std::string build = fs::canonical(QUILL_BINARY_DIR).string();
    const std::string source = fs::canonical(fs::path(QUILL_TEST_SOURCE).parent_path()).string();
    std::size_t elfFiles = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Stage)) {
        if (!entry.is_regular_file() || entry.is_symlink()) continue;
        const std::string text = ReadText(entry.path());
        EXPECT_TRUE(!release || text.find(build) == std::string::npos)
            << entry.path() << " names " << build;
        EXPECT_TRUE(!release || text.find(source + "/") == std::string::npos)
            << entry.path() << " names " << source;
        if (!IsElf(entry.path())) continue;
        ++elfFiles;
        // A run path, if any, is relative to the file itself.
        const TCommandOutput dynamic = RunCommand("LC_ALL=C readelf -d " + Quoted(entry.path()));
        ASSERT_EQ(dynamic.Status, 0) << dynamic.Text;
        std::smatch match;
        const std::regex runPath(R"(\((?:RPATH|RUNPATH)\)[^\[]*\[([^\]]*)\])");
        for (auto it = dynamic.Text.cbegin();
             std::regex_search(it, dynamic.Text.cend(), match, runPath); it = match[0].second)
            EXPECT_EQ(match[1].str().rfind("$ORIGIN", 0), 0u)
                << entry.path() << " has the run path " << match[1];
    }
    EXPECT_GE(elfFiles, 3u); // the host, the run-time, the plug-in
}

TEST_F(InstalledTree, TheRunTimeHasAVersionedSoname) {
    fs::path library;
    for (const auto& entry : fs::recursive_directory_iterator(Prefix))
        if (entry.path().filename() == "libquillrt.so") library = entry.path();
    ASSERT_FALSE(library.empty());
    const TCommandOutput dynamic = RunCommand("LC_ALL=C readelf -d " + Quoted(library));
    EXPECT_TRUE(dynamic.Has("Library soname: [libquillrt.so.1]")) << dynamic.Text;
    // The link-time name and the soname are links to the one real file.
    EXPECT_TRUE(fs::is_symlink(library));
    EXPECT_TRUE(fs::is_regular_file(library.parent_path() / "libquillrt.so.1"));
    const TCommandOutput host =
        RunCommand("LC_ALL=C readelf -d " + Quoted(Prefix / "bin" / "quill-host"));
    EXPECT_TRUE(host.Has("Shared library: [libquillrt.so.1]")) << host.Text;
}

TEST_F(InstalledTree, TheInstalledHostLoadsTheInstalledPlugInAndReportsItsVersion) {
    quill::infra::TVersionInfo built(QUILL_PLU_PATH);
    const TCommandOutput version = RunInstalledHost("--version");
    EXPECT_EQ(version.Status, 0) << version.Text;
    EXPECT_TRUE(version.Has("quill-host " + built.FileVersion() + "\n")) << version.Text;
    EXPECT_TRUE(
        version.Has("plug-in: " + (Prefix / QUILL_INSTALL_MODULEDIR / "Quill.plu").string()))
        << version.Text;

    const TCommandOutput run = RunInstalledHost("--keys '+++4006+++' --interval 1 --settle 300");
    EXPECT_EQ(run.Status, 0) << run.Text;
    EXPECT_TRUE(run.Has("data=4006")) << run.Text;
    // The tuning file's place beside the plug-in is a link to the settings folder.
    const fs::path plugin = Prefix / QUILL_INSTALL_MODULEDIR / "Quill.plu";
    EXPECT_TRUE(run.Has("Loaded " + plugin.string() + "\n")) << run.Text;
    EXPECT_TRUE(fs::is_symlink(plugin.parent_path() / "Quill.ini")) << plugin;
}

TEST_F(InstalledTree, ExampleHostBuildsWithPkgConfigAndPrintsEvents) {
    const fs::path example = Prefix / "share" / "doc" / "quill" / "examples" / "example_host.cpp";
    ASSERT_TRUE(fs::is_regular_file(example));
    const fs::path program = Stage / "example-host";
    const TCommandOutput built = RunCommand(WithPkgConfig(
        "c++ -std=c++20 -Wall -Wextra -Werror " QUILL_SANITIZE_FLAGS " " + Quoted(example) +
        " $(pkg-config --cflags --libs quill) -o " + Quoted(program) + " 2>&1"));
    ASSERT_EQ(built.Status, 0) << built.Text;
    const TCommandOutput plugindir =
        RunCommand(WithPkgConfig("pkg-config --variable=plugindir quill"));
    ASSERT_EQ(plugindir.Status, 0);
    // pkg-config puts the stage in front of the variable, as it does of the flags.
    const fs::path plugin = plugindir.Text.substr(0, plugindir.Text.find('\n')) + "/Quill.plu";
    ASSERT_EQ(plugin.string().rfind(Stage.string(), 0), 0u) << plugin;
    ASSERT_TRUE(fs::is_regular_file(plugin)) << plugin;

    const TCommandOutput run =
        RunCommand("LD_LIBRARY_PATH=" + Quoted(plugin.parent_path().parent_path()) +
                   " QUILL_DATA_DIR=" + Quoted(Stage / "data") + " LANG=ru_RU.UTF-8 timeout 60 " +
                   Quoted(program) + " " + Quoted(plugin) + " '+++12345+++ab' 2>&1");
    EXPECT_EQ(run.Status, 0) << run.Text;
    EXPECT_EQ(run.Text, "event: source=Сканер name=Сканер штрихкодов клавиатурный №1 data=12345\n"
                        "typed: a\ntyped: b\n");
}

TEST_F(InstalledTree, EveryInstalledHeaderStandsAlone) {
    std::size_t headers = 0;
    for (const auto& entry : fs::recursive_directory_iterator(Prefix / "include" / "quill")) {
        if (entry.path().extension() != ".h") continue;
        ++headers;
        const TCommandOutput compiled =
            RunCommand(WithPkgConfig("c++ -std=c++20 -fsyntax-only -x c++ " + Quoted(entry.path()) +
                                     " $(pkg-config --cflags quill) 2>&1"));
        EXPECT_EQ(compiled.Status, 0) << entry.path() << "\n" << compiled.Text;
    }
    EXPECT_GE(headers, 4u);
}

TEST_F(InstalledTree, TheManualPageDescribesEveryOptionOfHelp) {
    fs::path page;
    for (const auto& entry : fs::recursive_directory_iterator(Prefix))
        if (entry.path().filename() == "quill-host.1") page = entry.path();
    ASSERT_FALSE(page.empty());
    const std::string manual = ReadText(page);
    const TCommandOutput help = RunInstalledHost("--help");
    ASSERT_EQ(help.Status, 0);
    std::set<std::string> options;
    const std::regex option(R"(^  (--[a-z]+))");
    std::istringstream lines(help.Text);
    for (std::string line; std::getline(lines, line);) {
        std::smatch match;
        if (std::regex_search(line, match, option)) options.insert(match[1]);
    }
    EXPECT_GE(options.size(), 15u) << help.Text;
    // Each has an entry of its own: a line ".B --name", ".BI --name ARG" or ".BR --name ...".
    for (const std::string& name : options) {
        const std::regex entry("(^|\n)\\.B[IR]? \\\\-\\\\-" + name.substr(2) + "( |\n)");
        EXPECT_TRUE(std::regex_search(manual, entry)) << name << " has no entry in " << page;
    }
    EXPECT_EQ(manual.find("@"), std::string::npos) << "an unfilled placeholder in " << page;
}
