#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

namespace {

struct Output {
    int status = -1;
    std::string out;
};

std::string quoted(const std::string& text) {
    std::string result = "'";
    for (const char c : text) {
        result += c == '\'' ? std::string("'\\''") : std::string(1, c);
    }
    return result + "'";
}

// Runs `timeclock convert` with the arguments and collects its standard output.
Output convert(const std::vector<std::string>& arguments) {
    const char* bin = std::getenv("STAMPKIND_BIN");
    EXPECT_NE(bin, nullptr);
    std::string command = quoted(std::string(bin ? bin : ".") + "/timeclock") + " convert";
    for (const auto& argument : arguments) {
        command += " " + quoted(argument);
    }
    command += " 2>/dev/null";
    Output output;
    FILE* pipe = popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return output;
    }
    char buffer[512];
    size_t read = 0;
    while ((read = fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        output.out.append(buffer, read);
    }
    const int status = pclose(pipe);
    output.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return output;
}

TEST(ConvertCommandTest, ReadsDateTextUnderTheChosenSettings) {
    struct Case {
        std::vector<std::string> arguments;
        bool isdate;
        double value;
        const char* text;
    };
    const Case cases[] = {
        {{"--date", "12/04/26 08:30  PM"}, true, 46360.0 + 20.5 / 24.0, "12/4/2026 8:30:00 PM"},
        {{"--date", "12/04/26", "--regional", "en-GB"}, true, 46124.0, "12/04/2026"},
        {{"--date", "8:30"}, true, 8.5 / 24.0, "8:30:00 AM"},
        {{"--date", "12/04/26   :    AM"}, false, 0.0, ""},
    };
    for (const auto& c : cases) {
        const Output output = convert(c.arguments);
        ASSERT_EQ(output.status, 0) << c.arguments[1];
        const auto json = nlohmann::json::parse(output.out);
        EXPECT_EQ(json["isdate"], c.isdate) << c.arguments[1];
        EXPECT_DOUBLE_EQ(json["value"].get<double>(), c.value) << c.arguments[1];
        EXPECT_EQ(json["text"], c.text) << c.arguments[1];
    }
}

TEST(ConvertCommandTest, FormatsNumbersAndDates) {
    EXPECT_EQ(convert({"--format", "830", "0:00"}).out, "8:30\n");
    EXPECT_EQ(convert({"--format", "0.1666666", ".000"}).out, ".167\n");
    EXPECT_EQ(convert({"--format", "12/4/2026 15:30", "mmddyyHHnn"}).out, "1204261530\n");
}

TEST(ConvertCommandTest, UsageErrors) {
    EXPECT_EQ(convert({}).status, 2);
    EXPECT_EQ(convert({"--date", "1/1/2026", "--regional", "fr-FR"}).status, 2);
    EXPECT_EQ(convert({"--format", "abc", "0:00"}).status, 2);
}

}  // namespace
