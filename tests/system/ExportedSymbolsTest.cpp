#include <gtest/gtest.h>

#include <cctype>
#include <cstdio>
#include <fstream>
#include <set>
#include <sstream>
#include <string>

namespace {

// Names of the functions the public header declares.
std::set<std::string> DeclaredExports() {
    std::ifstream header(KORVIX_PUBLIC_HEADER);
    std::stringstream text;
    text << header.rdbuf();
    std::string source = text.str();
    std::set<std::string> names;
    // Every declaration reads "KORVIX_API <type> KORVIX_CALL Korvix_Name(".
    const std::string marker = "KORVIX_CALL Korvix_";
    for (size_t at = source.find(marker); at != std::string::npos; at = source.find(marker, at + 1)) {
        size_t begin = at + marker.size() - std::string("Korvix_").size();
        size_t end = begin;
        while (end < source.size() && (std::isalnum(static_cast<unsigned char>(source[end])) || source[end] == '_')) {
            ++end;
        }
        if (end < source.size() && source[end] == '(') names.insert(source.substr(begin, end - begin));
    }
    return names;
}

// Names of the functions the shared library defines and exports.
std::set<std::string> DefinedExports(bool &ran) {
    std::set<std::string> names;
    std::string command = std::string("nm -D --defined-only '") + KORVIX_LIBRARY_FILE + "'";
    FILE *pipe = popen(command.c_str(), "r");
    ran = pipe != nullptr;
    if (!pipe) return names;
    char line[512];
    while (std::fgets(line, sizeof line, pipe)) {
        std::istringstream fields(line);
        std::string address, type, name;
        if (fields >> address >> type >> name) names.insert(name);
    }
    ran = pclose(pipe) == 0;
    return names;
}

}  // namespace

TEST(SystemExports, LibraryExportsExactlyTheDeclaredFunctions) {
    bool ran = false;
    std::set<std::string> defined = DefinedExports(ran);
    ASSERT_TRUE(ran) << "nm could not read " << KORVIX_LIBRARY_FILE;
    std::set<std::string> declared = DeclaredExports();
    ASSERT_FALSE(declared.empty());
    // Every exported symbol is a declared Korvix_ function and every declared function is
    // exported: nothing internal leaks out and nothing promised is missing.
    for (const auto &name : defined) {
        EXPECT_TRUE(declared.count(name)) << "exported but not declared: " << name;
    }
    for (const auto &name : declared) {
        EXPECT_TRUE(defined.count(name)) << "declared but not exported: " << name;
    }
}
