// The Debian package of this build tree, made with cpack -G DEB as a
// packager makes it and checked by lintian: no lintian error, the relations
// to the packages the player and the video export use, and the
// documentation folder Debian asks for.
#include <gtest/gtest.h>

#include <string>

#include "run_command.h"
#include "test_dirs.h"

#ifndef MOVAREL_BUILD_DIR
#error "the build adds MOVAREL_BUILD_DIR for this test"
#endif

namespace {

std::string Line(const std::string& text) { return text.substr(0, text.find('\n')); }

}  // namespace

TEST(DebianPackage, PassesLintianWithItsDocumentationAndRelations) {
    for (const char* program : {"cpack", "dpkg-deb", "lintian"})
        if (!HaveCommand(program))
            GTEST_SKIP() << program << " is not installed (scripts/install-deps installs it)";
    // The package is made in a scratch folder; the build tree gets nothing.
    TestDir out;
    const CommandRun made =
        RunShell("cpack --config '" MOVAREL_BUILD_DIR "/CPackConfig.cmake' -G DEB -B '" + out.path + "'");
    ASSERT_EQ(made.status, 0) << made.out;
    const CommandRun found = RunShell("ls '" + out.path + "'*.deb");
    ASSERT_EQ(found.status, 0) << found.out;
    const std::string deb = Line(found.out);

    auto field = [&](const std::string& name) { return Line(RunShell("dpkg-deb -f '" + deb + "' " + name).out); };
    EXPECT_EQ(field("Recommends"), "qt6-wayland");
    EXPECT_EQ(field("Suggests"), "ffmpeg");

    auto member = [&](const std::string& path) {
        return RunShell("dpkg-deb --fsys-tarfile '" + deb + "' | tar -xO './usr/share/doc/movarel/" + path + "'");
    };
    const CommandRun copyright = member("copyright");
    ASSERT_EQ(copyright.status, 0) << copyright.out;
    EXPECT_EQ(Line(copyright.out), "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/");
    // The newest changelog entry is the version being packaged.
    const CommandRun changelog = RunShell("dpkg-deb --fsys-tarfile '" + deb +
                                          "' | tar -xO ./usr/share/doc/movarel/changelog.gz | gzip -dc");
    ASSERT_EQ(changelog.status, 0) << changelog.out;
    EXPECT_EQ(Line(changelog.out).rfind("movarel (" + field("Version") + ") ", 0), 0u) << changelog.out;
    const CommandRun readme = member("README.md");
    ASSERT_EQ(readme.status, 0) << readme.out;
    EXPECT_EQ(Line(readme.out), "# Movarel");

    // Errors fail; warnings and notes are shown with the result.
    const CommandRun lint = RunShell("lintian --fail-on error --tag-display-limit 0 '" + deb + "'");
    EXPECT_EQ(lint.status, 0) << lint.out;
    EXPECT_EQ(("\n" + lint.out).find("\nE: "), std::string::npos) << lint.out;
    if (!lint.out.empty())
        std::printf("lintian:\n%s", lint.out.c_str());
}
