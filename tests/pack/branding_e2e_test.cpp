// The branded program under Wine: it takes the language from the registry
// keys of the new maker and product, and the rest of its run is that of the
// program it was made from. The Windows build of trevan-pack brands alike.
#include <gtest/gtest.h>

#include <regex>

#include "tests/app/run_fixture.h"
#include "tools/pack/builder.h"

namespace trevan::harness {
namespace {

const char* const uninstall = "HKLM\\SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// An icon file of one 16x16 32-bit bitmap.
std::string small_icon() {
    std::string bitmap(40 + 16 * 16 * 4 + 16 * 4, '\x5A');
    const unsigned char header[16] = {40, 0, 0, 0, 16, 0, 0, 0, 32, 0, 0, 0, 1, 0, 32, 0};
    bitmap.replace(0, 16, reinterpret_cast<const char*>(header), 16);
    std::string ico("\0\0\1\0\1\0" "\x10\x10\0\0\1\0\x20\0", 14);
    const std::uint32_t size = static_cast<std::uint32_t>(bitmap.size()), offset = 22;
    for (int i = 0; i < 4; ++i) ico += static_cast<char>(size >> (8 * i));
    for (int i = 0; i < 4; ++i) ico += static_cast<char>(offset >> (8 * i));
    return ico + bitmap;
}

class BrandedRun : public ProgramRun {
protected:
    void SetUp() override {
        ProgramRun::SetUp();
        clear();
    }
    void TearDown() override { clear(); }
    void clear() {
        for (const char* product : {"Amberlyn", "Vorbelquint"})
            run_wine({"reg", "delete", std::string(uninstall) + product, "/f", "/reg:64"});
        for (const char* maker : {"Quillfeather", "Marrowgate"})
            run_wine({"reg", "delete", std::string("HKCU\\SOFTWARE\\") + maker, "/f"});
    }
    void set(const std::string& key, const char* name, const std::string& value) {
        ASSERT_EQ(run_wine({"reg", "add", key, "/v", name, "/t", "REG_SZ", "/d", value, "/f", "/reg:64"}), 0);
    }

    // The program packed with the sample records and branded as Amberlyn of
    // Quillfeather.
    std::string branded() {
        write_file(dir_ + "/product.ico", small_icon());
        pack::build_options options;
        options.brand.icon = dir_ + "/product.ico";
        options.brand.maker_name = "Quillfeather";
        options.brand.product_name = "Amberlyn";
        options.brand.version_info = {{"FileVersion", "2.1.0.7"}, {"FileDescription", "Amberlyn Setup"}};
        const std::string output = dir_ + "/Branded.exe";
        pack::build_container(program_path(), sample_records(), output, options);
        return output;
    }

    // The parameter text of the one setup program that the run started.
    std::string received(const std::string& program) {
        run_result r = run(program);
        EXPECT_TRUE(r.boxes.empty());
        EXPECT_EQ(r.exit_code, 0u);
        std::vector<standin_record> started = records();
        std::remove(records_file_.c_str());
        return started.size() == 1 ? started[0].parameters() : "<" + std::to_string(started.size()) + " starts>";
    }
};

TEST_F(BrandedRun, TheLanguageComesFromTheNewProductsKeys) {
    const std::string plain = build(sample_records()), ours = branded();
    const std::string text = " /V\"/l*v \\\"" + temp_windows() + "KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   "
                             "WEBINSTALLER=1\"";

    set(std::string(uninstall) + "Amberlyn", "InstallerLanguage", "1031");
    set(std::string(uninstall) + "Vorbelquint", "InstallerLanguage", "1040");
    EXPECT_EQ(received(ours), "/L1031 " + text);
    EXPECT_EQ(received(plain), "/L1040 " + text);

    clear();
    set("HKCU\\SOFTWARE\\Quillfeather\\KELMO\\Misc", "Lang", "FR");
    set("HKCU\\SOFTWARE\\Marrowgate\\KELMO\\Misc", "Lang", "JA");
    EXPECT_EQ(received(ours), "/L1036 " + text) << "the new maker's first key";
    EXPECT_EQ(received(plain), "/L1041 " + text);

    clear();
    set("HKCU\\SOFTWARE\\Quillfeather\\Vorbelquint\\Misc", "Lang", "PL");
    EXPECT_EQ(received(ours), "/L1045 " + text) << "the new maker's second key";
    EXPECT_EQ(received(plain), text);
}

// What a run shows, with the run's own numbers (work folder, time) masked.
struct observed {
    std::uint32_t exit_code;
    std::vector<message_box> boxes;
    std::vector<std::string> temp_entries;
    std::string setup_path, parameters, cwd, log;
    bool operator==(const observed& o) const {
        return exit_code == o.exit_code && boxes == o.boxes && temp_entries == o.temp_entries &&
               setup_path == o.setup_path && parameters == o.parameters && cwd == o.cwd && log == o.log;
    }
};

void PrintTo(const observed& o, std::ostream* os) {
    *os << "exit " << o.exit_code << ", " << o.boxes.size() << " boxes, setup " << o.setup_path << " "
        << o.parameters << " in " << o.cwd << ", log:\n" << o.log;
}

TEST_F(BrandedRun, TheRunIsOtherwiseThatOfTheProgram) {
    const std::string plain = build(sample_records()), ours = branded();
    auto observe = [&](const std::string& program) {
        run_result r = run(program, "/S", {{"TREVAN_STANDIN_EXIT", "3010"}});
        observed o{r.exit_code, r.boxes, r.temp_entries, "", "", "", ""};
        std::vector<standin_record> started = records();
        std::remove(records_file_.c_str());
        if (started.size() == 1) {
            const std::regex work_folder(R"(VORBELQ-?\d+)");
            o.setup_path = std::regex_replace(started[0].path, work_folder, "VORBELQ#");
            o.parameters = started[0].parameters();
            o.cwd = std::regex_replace(started[0].cwd, work_folder, "VORBELQ#");
        }
        const std::string log_path = temp_ + "/Trevan.log.txt";
        o.log = std::regex_replace(std::regex_replace(read_file(log_path), std::regex(R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2})"),
                                                      "#"),
                                   std::regex(R"(VORBELQ-?\d+)"), "VORBELQ#");
        std::remove(log_path.c_str());
        return o;
    };
    const observed expected = observe(plain);
    EXPECT_EQ(expected.exit_code, 3010u);
    EXPECT_NE(expected.setup_path.find("VORBELQ#\\VorbelquintSetup_x64.exe"), std::string::npos);
    EXPECT_NE(expected.log.find("Parameters: /S /V"), std::string::npos) << expected.log;
    EXPECT_EQ(observe(ours), expected);

    // The instance mutex keeps its name.
    mutex_holder other("Global\\Vorbelquint.Installation");
    run_result held = run(ours);
    EXPECT_EQ(held.exit_code, 1u);
    ASSERT_EQ(held.boxes.size(), 1u);
    EXPECT_EQ(held.boxes[0].caption, "Already Running");
}

TEST(WindowsPackTool, BrandsTheSameBytesAsTheHostBuild) {
    const std::string folder = fresh_test_folder();
    write_file(folder + "/product.ico", small_icon());
    write_file(folder + "/brand.json",
               R"({"icon": "product.ico", "maker_name": "Quillfeather", "product_name": "Amberlyn",
                   "version_info": {"FileVersion": "2.1.0.7", "LegalCopyright": "\u00a9 Quillfeather"}})");
    pack::build_options options;
    options.brand.icon = folder + "/product.ico";
    options.brand.maker_name = "Quillfeather";
    options.brand.product_name = "Amberlyn";
    options.brand.version_info = {{"FileVersion", "2.1.0.7"}, {"LegalCopyright", "\xC2\xA9 Quillfeather"}};
    pack::build_container(program_path(), {pack::value_record("a", "1")}, folder + "/host.exe", options);

    run_options o;
    o.args = "build --stub " + windows_path(program_path()) + " --branding " + windows_path(folder + "/brand.json") +
             " --value a=1 --no-check executable32 --no-check executable64 -o " +
             windows_path(folder + "/windows.exe");
    ASSERT_EQ(run_program(win64_dir() + "/trevan-pack.exe", o).exit_code, 0u);
    EXPECT_EQ(read_file(folder + "/windows.exe"), read_file(folder + "/host.exe"));

    o.args = "build --stub " + windows_path(program_path()) + " --version-info FileVersion=1.2 -o " +
             windows_path(folder + "/bad.exe");
    EXPECT_EQ(run_program(win64_dir() + "/trevan-pack.exe", o).exit_code, 2u);
}

}  // namespace
}  // namespace trevan::harness
