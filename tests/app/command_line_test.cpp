// Splitting the program's command line and assembling the setup program's
// parameters.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/command_line.h"

namespace trevan {
namespace {

TEST(SplitCommandLine, Table) {
    struct row {
        std::string command_line, property_text, stored;
    };
    const row rows[] = {
        {"", "", ""},
        {"/S /Q", "", "/S /Q"},
        {"/S /v\"USER_PARTNER_IDENTITY=7\" /X", "USER_PARTNER_IDENTITY=7", "/S  /X"},
        {"/vX=1", "X=1", ""},                                     // lower case, unquoted
        {"/VX=1 /Q", "X=1", " /Q"},                               // the space before /Q stays
        {"/V\"A=\\\"x y\\\" B=1\" /Q", "A=\\\"x y\\\" B=1", " /Q"},  // escaped quotes stay
        {"/Vabc /Vdef", "abc", " /Vdef"},                          // only the first switch
        {"/Vabc /V\"q=1\"", "q=1", "/Vabc "},                      // the quoted form wins
        {"/v\"Mixed=Case\"", "Mixed=Case", ""},                    // the value keeps its case
        {"/V\"\"", "", ""},
        {"x/Vy", "y", "x"},
        // Quoted switch with no usable closing quotation mark: no split.
        {"/S /V\"A=1", "", "/S /V\"A=1"},
        {"/V\"A=\\\"", "", "/V\"A=\\\""},
        {"/V\"", "", "/V\""},
    };
    for (const row& r : rows) {
        SettingsMap settings;
        EXPECT_EQ(split_command_line(r.command_line, settings), r.property_text) << r.command_line;
        EXPECT_EQ(settings["commandline"], r.stored) << r.command_line;
    }
}

TEST(SplitCommandLine, ReplacesAnEarlierCommandLineSetting) {
    SettingsMap settings{{"commandline", "old"}};
    split_command_line("/Q", settings);
    EXPECT_EQ(settings["commandline"], "/Q");
}

TEST(FilterPartnerIdentity, Table) {
    struct row {
        std::string parameters, property_text, expected;
    };
    const row rows[] = {
        {"", "USER_PARTNER_IDENTITY=7 OTHER=1", " OTHER=1"},
        {"/V\"VIRGIN=1\"", "USER_PARTNER_IDENTITY=7 OTHER=1", "USER_PARTNER_IDENTITY=7 OTHER=1"},
        {"", "A=1 USER_PARTNER_IDENTITY=7", "A=1 "},
        {"", "USER_PARTNER_IDENTITY=", ""},
        {"", "USER_PARTNER_IDENTITY=1 USER_PARTNER_IDENTITY=2", " USER_PARTNER_IDENTITY=2"},
        {"", "user_partner_identity=7", "user_partner_identity=7"},  // case-sensitive
        {"VIRGIN=10", "USER_PARTNER_IDENTITY=7", "USER_PARTNER_IDENTITY=7"},
        {"", "", ""},
    };
    for (const row& r : rows) {
        SettingsMap settings{{"parameters", r.parameters}};
        std::string text = r.property_text;
        filter_partner_identity(settings, text);
        EXPECT_EQ(text, r.expected) << r.parameters << " | " << r.property_text;
    }
}

TEST(MergeParameters, Table) {
    struct row {
        std::string commandline, parameters, property_text, expected;
    };
    const row rows[] = {
        {"", "/V\"USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"", "",
         " /V\" USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\""},
        {"/S", "/V\"A=1\"", "P=1", "/S /V\"P=1 A=1\""},
        {"", "/S", "P=1", " /S/V\"P=1\""},        // no space before the appended switch
        {"", "", "", " /V\"\""},                  // no parameters at all
        {"", "/VA=1", "P=1", " /V\"P=1\"A=1"},     // unquoted switch at the start
        {"", "/S /VA=1", "P=1", " /S\"P=1\" /VA=1"},  // offset 2, wherever the switch is
        {"/Q", "/X /V\"B\"", "", "/Q /X /V\" B\""},
    };
    for (const row& r : rows) {
        SettingsMap settings{{"commandline", r.commandline}};
        if (!r.parameters.empty()) settings["parameters"] = r.parameters;
        EXPECT_EQ(merge_parameters(settings, r.property_text).text(), r.expected)
            << r.parameters << " | " << r.property_text;
    }
}

TEST(AddMsiLogOption, Table) {
    const std::string log = "D:\\Tmp\\KELMO_msi.log.txt";
    struct row {
        std::string msilog, parameters, log_path, expected;
    };
    const row rows[] = {
        {"ON", " /V\" USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\"", log,
         " /V\"/l*v \\\"" + log + "\\\"  USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\""},
        {"ON", "/S", log, "/S/V\"/l*v \\\"" + log + "\\\"\""},
        {"ON", "/VA=1", log, "/V\"/l*v \\\"" + log + "\\\"\"A=1"},
        // Offset 2 wherever the switch is, as merge_parameters does.
        {"ON", "/S /VA=1", log, "/S\"/l*v \\\"" + log + "\\\"\" /VA=1"},
        {"on", "/V\"A=1\"", log, "/V\"A=1\""},  // only exactly "ON"
        {"ON ", "/V\"A=1\"", log, "/V\"A=1\""},
        {"", "/V\"A=1\"", log, "/V\"A=1\""},
        // No log the run could hold: the option is left out.
        {"ON", "/V\"A=1\"", "", "/V\"A=1\""},
    };
    for (const row& r : rows) {
        SettingsMap settings{{"msilog", r.msilog}};
        composed_text parameters(r.parameters, text_origin::container);
        add_msi_log_option(settings, parameters, r.log_path);
        EXPECT_EQ(parameters.text(), r.expected) << r.msilog << " | " << r.parameters << " | " << r.log_path;
    }
}

TEST(ParameterAssembly, WorkedExampleWithoutArguments) {
    SettingsMap settings{{"msilog", "ON"},
                         {"parameters", "/V\"USER_PARTNER_IDENTITY=5   WEBINSTALLER=1\""}};
    std::string property_text = split_command_line("", settings);
    filter_partner_identity(settings, property_text);
    composed_text parameters = merge_parameters(settings, property_text);
    add_msi_log_option(settings, parameters, "D:\\Tmp\\KELMO_msi.log.txt");
    EXPECT_EQ(parameters.text(),
              " /V\"/l*v \\\"D:\\Tmp\\KELMO_msi.log.txt\\\"  USER_PARTNER_IDENTITY=5   "
              "WEBINSTALLER=1\"");
}

TEST(ParameterAssembly, CommandLinePartnerIdentityDroppedOrKept) {
    for (bool virgin : {false, true}) {
        SettingsMap settings{
            {"parameters", virgin ? "/V\"VIRGIN=1 X=2\"" : "/V\"USER_PARTNER_IDENTITY=5\""}};
        std::string property_text =
            split_command_line("/S /v\"USER_PARTNER_IDENTITY=7 OTHER=1\"", settings);
        filter_partner_identity(settings, property_text);
        EXPECT_EQ(merge_parameters(settings, property_text).text(),
                  virgin ? "/S  /V\"USER_PARTNER_IDENTITY=7 OTHER=1 VIRGIN=1 X=2\""
                         : "/S  /V\" OTHER=1 USER_PARTNER_IDENTITY=5\"");
    }
}

}  // namespace
}  // namespace trevan
