#pragma once
// A small test runner for the Windows test programs: TEST_CASE registers a
// case, CHECK/CHECK_EQ record a failure and go on, REQUIRE ends the case.
// A case that makes no check at all counts as failed.

#include <sstream>
#include <string>
#include <type_traits>
#include <vector>

namespace check {

using TestFunction = void (*)();

struct Registrar {
    Registrar(const char* name, TestFunction function);
};

struct Abort {};

void Fail(const char* file, int line, const std::string& message);
void Pass();

std::string Show(const std::wstring& value);
template <class T>
std::string Show(const T& value);

template <class T>
std::string Show(const std::vector<T>& values) {
    std::string text = "{";
    for (const T& value : values) text += (text.size() > 1 ? ", " : "") + Show(value);
    return text + "}";
}

template <class T>
std::string Show(const T& value) {
    std::ostringstream out;
    if constexpr (std::is_same_v<T, unsigned char> || std::is_same_v<T, signed char> || std::is_same_v<T, char>) {
        out << static_cast<int>(value);
    } else if constexpr (std::is_convertible_v<const T&, std::string>) {
        out << '"' << static_cast<std::string>(value) << '"';
    } else {
        out << value;
    }
    return out.str();
}

template <class A, class B>
void CheckEqual(const char* file, int line, const char* textA, const char* textB, const A& a, const B& b) {
    if (a == b) {
        Pass();
        return;
    }
    Fail(file, line, std::string("CHECK_EQ(") + textA + ", " + textB + "): " + Show(a) + " != " + Show(b));
}

}  // namespace check

#define TEST_CASE(name)                                                    \
    static void name();                                                    \
    static const ::check::Registrar name##_registrar(#name, &name);        \
    static void name()

#define CHECK(condition)                                                            \
    do {                                                                            \
        if (condition) ::check::Pass();                                             \
        else ::check::Fail(__FILE__, __LINE__, "CHECK(" #condition ")");           \
    } while (0)

#define REQUIRE(condition)                                                          \
    do {                                                                            \
        if (condition) {                                                            \
            ::check::Pass();                                                        \
        } else {                                                                    \
            ::check::Fail(__FILE__, __LINE__, "REQUIRE(" #condition ")");          \
            throw ::check::Abort{};                                                 \
        }                                                                           \
    } while (0)

#define CHECK_EQ(a, b) ::check::CheckEqual(__FILE__, __LINE__, #a, #b, (a), (b))
