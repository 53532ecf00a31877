// The parameter text the setup program receives, from the program's own
// command line, the container and the registry's language settings.
#include <gtest/gtest.h>

#include <filesystem>
#include <regex>

#include "tests/app/run_fixture.h"

namespace trevan::harness {
namespace {

class Parameters : public ProgramRun {
protected:
    // The parameter text of the one setup program that the run started.
    std::string received(const std::string& program, const std::string& args = "") {
        run_result r = run(program, args);
        EXPECT_TRUE(r.boxes.empty()) << args;
        EXPECT_EQ(r.exit_code, 0u) << args;
        std::vector<standin_record> started = records();
        std::remove(records_file_.c_str());
        return started.size() == 1 ? started[0].parameters() : "<" + std::to_string(started.size()) + " starts>";
    }
    std::string log_option() const { return "/l*v \\\"" + temp_windows() + "KELMO_msi.log.txt\\\""; }
};

TEST_F(Parameters, CommandLines) {
    const std::string program = build(sample_records());
    const std::string sample = "USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"";
    struct row {
        std::string args, expected;
    };
    const row rows[] = {
        {"", " /V\"" + log_option() + "  " + sample},
        {"/S /Q", "/S /Q /V\"" + log_option() + "  " + sample},
        // The command line's partner identity is dropped without VIRGIN=1.
        {"/S /v\"USER_PARTNER_IDENTITY=7 OTHER=1\" /X", "/S  /X /V\"" + log_option() + "  OTHER=1 " + sample},
        {"/vX=1", " /V\"" + log_option() + " X=1 " + sample},
        {"/VX=1 /Q", " /Q /V\"" + log_option() + " X=1 " + sample},
        {"/V\"A=\\\"x y\\\" B=1\" /Q", " /Q /V\"" + log_option() + " A=\\\"x y\\\" B=1 " + sample},
        {"/Vabc /Vdef", " /Vdef /V\"" + log_option() + " abc " + sample},
    };
    for (const row& r : rows) EXPECT_EQ(received(program, r.args), r.expected) << r.args;
}

TEST_F(Parameters, VirginContainerKeepsThePartnerIdentity) {
    std::vector<pack::record> records = sample_files();
    records.push_back(pack::value_record("executable64", "%installer64%"));
    records.push_back(pack::value_record("parameters", "/V\"VIRGIN=1\""));
    const std::string program = build(records);
    EXPECT_EQ(received(program, "/v\"USER_PARTNER_IDENTITY=7 OTHER=1\""),
              " /V\"USER_PARTNER_IDENTITY=7 OTHER=1 VIRGIN=1\"");
}

TEST_F(Parameters, WithoutParametersOrWithLowerCaseMsiLog) {
    std::vector<pack::record> records = sample_files();
    records.push_back(pack::value_record("executable64", "%installer64%"));
    records.push_back(pack::value_record("msilog", "on"));
    const std::string program = build(records);
    EXPECT_EQ(received(program), " /V\"\"");
    EXPECT_EQ(received(program, "/S"), "/S /V\"\"");
}

TEST_F(Parameters, ReferencesInTheParametersAreExpanded) {
    std::vector<pack::record> container = sample_files();
    container.push_back(pack::value_record("executable64", "%installer64%"));
    container.push_back(pack::value_record("parameters", "/V\"SETUP=%installer32% FROM=%source% %unknown%\""));
    const std::string program = build(container);
    run_result r = run(program);
    EXPECT_TRUE(r.boxes.empty());
    std::vector<standin_record> started = records();
    ASSERT_EQ(started.size(), 1u);
    // "source" is the work folder whole, without its trailing backslash,
    // which would escape the closing quotation mark behind it.
    const std::string& path = started[0].path;
    const std::string source = path.substr(0, path.rfind('\\'));
    EXPECT_TRUE(std::regex_match(source, std::regex(regex_escape(temp_windows()) + R"(VORBELQ-?\d+)"))) << source;
    EXPECT_EQ(started[0].parameters(), " /V\" SETUP=VorbelquintSetup.exe FROM=" + source + " %unknown%\"");
}

// The user sets TEMP; a "%name%" in it, or in the arguments, is text the
// setup program receives as it stands, never a reference of the
// container's: the elevated setup program gets no argument the user put
// into a path, and the log option still names the held log.
TEST_F(Parameters, ReferencesInTheTemporaryFolderAndTheArgumentsStayText) {
    const std::string program = build(sample_records());
    int n = 0;
    for (const char* sequence : {"%parameters%", "%source%", "%installer64%", "%commandline%", "%%", "%unknown%"}) {
        std::remove(records_file_.c_str());
        const std::string temp = dir_ + "/t" + std::to_string(n++) + " " + sequence + " -INJECTED x";
        std::filesystem::create_directories(temp);
        run_options o = options(std::string("/S ") + sequence + " /V\"P=" + sequence + "\"",
                                {{"TREVAN_STANDIN_ACTIONS", "msilog"}});
        o.temp_dir = temp;
        const run_result r = run_program(program, o);
        EXPECT_EQ(r.exit_code, 0u) << sequence;
        EXPECT_TRUE(r.boxes.empty()) << sequence;
        const std::vector<standin_record> started = records();
        ASSERT_EQ(started.size(), 1u) << sequence;
        const std::string temp_windows = windows_path(temp) + "\\";
        EXPECT_EQ(started[0].parameters(), std::string("/S ") + sequence + "  /V\"/l*v \\\"" + temp_windows +
                                               "KELMO_msi.log.txt\\\" P=" + sequence +
                                               " USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"")
            << sequence;
        EXPECT_EQ(started[0].path.rfind(temp_windows + "VORBELQ", 0), 0u) << started[0].path;
        EXPECT_NE(read_file(records_file_).find("msilog written"), std::string::npos) << sequence;
        EXPECT_EQ(read_file(temp + "/KELMO_msi.log.txt"), "=== Verbose logging started ===\r\n") << sequence;
        EXPECT_EQ(r.temp_entries, (std::vector<std::string>{"KELMO_msi.log.txt", "Trevan.log.txt"})) << sequence;
    }
}

// Registry values of the language sources, set in the test prefix and removed
// again.
class Language : public Parameters, protected language_sources {
protected:
    void SetUp() override {
        Parameters::SetUp();
        clear();
    }
    void TearDown() override { clear(); }
};

TEST_F(Language, Sources) {
    const std::string program = build(sample_records());
    const std::string text = " /V\"" + log_option() + "  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"";

    EXPECT_EQ(received(program), text) << "no registry values";

    set(uninstall, "InstallerLanguage", "1031");
    set(first_key, "Lang", "FR");
    EXPECT_EQ(received(program), "/L1031 " + text) << "installer language first";
    // A "/L" already on the way wins over every source.
    EXPECT_EQ(received(program, "/L1040"), "/L1040" + text);

    set(uninstall, "InstallerLanguage", "");
    EXPECT_EQ(received(program), "/L1036 " + text) << "empty installer language, then the first user key";

    clear();
    set(second_key, "Lang", "JA");
    EXPECT_EQ(received(program), "/L1041 " + text) << "only the second user key";

    const std::pair<const char*, const char*> codes[] = {
        {"EN", "2057"}, {"EN-US", "1033"}, {"XX", "2057"}, {"N0", "1044"}, {"NO", "2057"}};
    for (const auto& [code, lcid] : codes) {
        set(first_key, "Lang", code);
        EXPECT_EQ(received(program), std::string("/L") + lcid + " " + text) << code;
    }
}

TEST_F(Language, ASwitchInTheContainersParametersWins) {
    std::vector<pack::record> records = sample_files();
    records.push_back(pack::value_record("executable64", "%installer64%"));
    records.push_back(pack::value_record("parameters", "/L1045 /V\"A=1\""));
    const std::string program = build(records);
    set(uninstall, "InstallerLanguage", "1031");
    EXPECT_EQ(received(program), " /L1045 /V\" A=1\"");
}

}  // namespace
}  // namespace trevan::harness
