#include "harness/check.h"

#include <cstdio>
#include <cstring>
#include <exception>
#include <vector>

namespace check {
namespace {

struct TestCase {
    const char* name;
    TestFunction function;
};

std::vector<TestCase>& Registry() {
    static std::vector<TestCase> cases;
    return cases;
}

int failuresInCase = 0;
int checksInCase = 0;

}  // namespace

Registrar::Registrar(const char* name, TestFunction function) { Registry().push_back({name, function}); }

void Fail(const char* file, int line, const std::string& message) {
    ++failuresInCase;
    ++checksInCase;
    std::printf("  %s:%d: %s\n", file, line, message.c_str());
    std::fflush(stdout);
}

void Pass() { ++checksInCase; }

std::string Show(const std::wstring& value) {
    std::string text = "L\"";
    for (wchar_t c : value) {
        if (c >= 32 && c < 127) {
            text += static_cast<char>(c);
        } else {
            char code[12];
            std::snprintf(code, sizeof(code), "\\x%04x", static_cast<unsigned>(c));
            text += code;
        }
    }
    return text + "\"";
}

}  // namespace check

// Runs every case, or those whose name contains the first argument.
int main(int argc, char** argv) {
    using namespace check;
    const char* filter = argc > 1 ? argv[1] : nullptr;
    int run = 0;
    int failed = 0;
    for (const TestCase& test : Registry()) {
        if (filter != nullptr && std::strstr(test.name, filter) == nullptr) continue;
        failuresInCase = 0;
        checksInCase = 0;
        std::printf("[ RUN  ] %s\n", test.name);
        std::fflush(stdout);
        try {
            test.function();
        } catch (const Abort&) {
        } catch (const std::exception& error) {
            Fail(__FILE__, __LINE__, std::string("exception: ") + error.what());
        }
        if (checksInCase == 0) Fail(__FILE__, __LINE__, "the case made no check");
        ++run;
        if (failuresInCase > 0) ++failed;
        std::printf("[ %s ] %s\n", failuresInCase > 0 ? "FAIL" : " OK ", test.name);
        std::fflush(stdout);
    }
    std::printf("%d case(s), %d failed\n", run, failed);
    if (run == 0) return 2;
    return failed > 0 ? 1 : 0;
}
