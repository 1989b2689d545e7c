#pragma once

#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

#include <unistd.h>

namespace qm5083::testing {

// Keeps JSON a test made for the schema check that runs after every test
// (JsonSamples.EachValidAgainstItsSchema): appended, one value a line, to
// QM5083_JSON_SAMPLES/<schema>-<process>.jsonl (the folder the build names). schema names the file
// in packaging/schemas/ without ".schema.json": "answer", "self-test-report", "da-check-report",
// "record-line".
inline void keepJsonSample(std::string_view schema, std::string_view json)
{
    const char *folder = QM5083_JSON_SAMPLES;
    if (json.empty())
        return;
    std::filesystem::create_directories(folder);
    std::ofstream(std::filesystem::path(folder)
                      / (std::string(schema) + "-" + std::to_string(::getpid()) + ".jsonl"),
                  std::ios::app)
        << json << (json.ends_with('\n') ? "" : "\n");
}

// Each line of text that is a JSON object.
inline void keepJsonLines(std::string_view schema, std::string_view text)
{
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view line = text.substr(0, end);
        if (line.starts_with('{'))
            keepJsonSample(schema, line);
        text = end == std::string_view::npos ? std::string_view() : text.substr(end + 1);
    }
}

} // namespace qm5083::testing
