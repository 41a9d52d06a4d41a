// korvix srom read|write: bytes of the camera's identity memory (addresses 0 to 0xFFF).

#include <KorvixSdk_Tesslin.h>

#include <iostream>

#include "Commands.h"
#include "Output.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

constexpr long kLastSromAddress = 0xFFF;

struct SromArguments {
    std::string address;
    std::string countOrValue;
};

void RunSromRead(const GlobalOptions &options, const SromArguments &arguments) {
    const long first = ParseInteger(arguments.address, 0, kLastSromAddress, "the SROM address");
    const long count = arguments.countOrValue.empty()
                           ? 1
                           : ParseInteger(arguments.countOrValue, 1, kLastSromAddress + 1 - first,
                                          "the byte count");
    CameraSession session(options);
    nlohmann::json data = nlohmann::json::array();
    std::vector<int> bytes;
    for (long address = first; address < first + count; ++address) {
        int ok = 0;
        const int value = Korvix_ReadSromID(session.Handle(), static_cast<int>(address), &ok);
        if (!ok) session.Fail("reading SROM byte " + Hex(static_cast<unsigned>(address), 4));
        bytes.push_back(value);
        data.push_back({{"address", address}, {"value", value}});
    }
    Emit(options, data, [&](std::ostream &out) {
        for (size_t i = 0; i < bytes.size(); ++i) {
            out << Hex(static_cast<unsigned>(first + static_cast<long>(i)), 4) << ' '
                << Hex(static_cast<unsigned>(bytes[i])) << '\n';
        }
    });
}

void RunSromWrite(const GlobalOptions &options, const SromArguments &arguments) {
    const long address = ParseInteger(arguments.address, 0, kLastSromAddress, "the SROM address");
    if (arguments.countOrValue.empty()) throw UsageError("srom write needs ADDRESS and VALUE");
    const long value = ParseInteger(arguments.countOrValue, 0, 0xFF, "the SROM value");
    CameraSession session(options);
    session.Check(Korvix_WriteSromID(session.Handle(), static_cast<int>(address),
                                     static_cast<int>(value)),
                  "writing SROM byte " + Hex(static_cast<unsigned>(address), 4));
    int ok = 0;
    const int readBack = Korvix_ReadSromID(session.Handle(), static_cast<int>(address), &ok);
    if (!ok || readBack != value) {
        throw CameraError(CAMERR_IO, "SROM byte " + Hex(static_cast<unsigned>(address), 4) +
                                         " does not read back as written");
    }
    Emit(options, {{"address", address}, {"value", value}}, [&](std::ostream &out) {
        out << Hex(static_cast<unsigned>(address), 4) << ' ' << Hex(static_cast<unsigned>(value))
            << '\n';
    });
}

}  // namespace

void AddSromCommand(CLI::App &app, GlobalOptions &options) {
    CLI::App *srom = app.add_subcommand("srom", "Read or write bytes of the identity memory");
    srom->require_subcommand(1);
    auto arguments = std::make_shared<SromArguments>();
    CLI::App *read = srom->add_subcommand("read", "Print COUNT bytes (default 1) from ADDRESS");
    read->add_option("address", arguments->address, "0 to 0xFFF")->required();
    read->add_option("count", arguments->countOrValue, "number of bytes");
    RunsAs(read, options, [&options, arguments] { RunSromRead(options, *arguments); });
    CLI::App *write = srom->add_subcommand("write", "Write VALUE (0 to 0xFF) at ADDRESS");
    write->add_option("address", arguments->address, "0 to 0xFFF")->required();
    write->add_option("value", arguments->countOrValue, "0 to 0xFF")->required();
    RunsAs(write, options, [&options, arguments] { RunSromWrite(options, *arguments); });
}

}  // namespace korvix::tool
