#pragma once

#include "json_samples.h"

#include <cstdio>
#include <functional>
#include <string>

namespace qm5083::testing {

// What a program step returned and wrote to its standard output and error.
struct CapturedOutput
{
    int status;
    std::string out;
    std::string err;
};

// Runs fn with two temporary files standing for standard output and error.
inline CapturedOutput captureOutput(const std::function<int(std::FILE *, std::FILE *)> &fn)
{
    const auto contents = [](std::FILE *file) {
        std::rewind(file);
        std::string text;
        for (int c = std::fgetc(file); c != EOF; c = std::fgetc(file))
            text += static_cast<char>(c);
        return text;
    };
    std::FILE *out = std::tmpfile();
    std::FILE *err = std::tmpfile();
    const int status = fn(out, err);
    CapturedOutput captured {status, contents(out), contents(err)};
    keepJsonLines("answer", captured.out); // a JSON answer is checked against its schema
    std::fclose(out);
    std::fclose(err);
    return captured;
}

} // namespace qm5083::testing
