// korvix fpga read|write and korvix sensor read|write: the camera's registers. FPGA
// registers have 8-bit numbers; sensor registers 16-bit addresses and 8-bit values.

#include <KorvixSdk_Tesslin.h>

#include <iostream>

#include "Commands.h"
#include "Output.h"
#include "ToolErrors.h"

namespace korvix::tool {

namespace {

struct RegisterBank {
    const char *name;         // "fpga" or "sensor"
    long lastAddress;
    long maxValue;
    int addressDigits;
    int (*read)(int handle, int address, int *ok);
    int (*write)(int handle, int address, int value);
};

// Korvix_Fpga_ReadRegister leaves ok untouched on success, so ok starts at 1.
constexpr RegisterBank kFpga{"FPGA", 0xFF, 0xFF, 2, Korvix_Fpga_ReadRegister,
                             Korvix_Fpga_WriteRegister};
constexpr RegisterBank kSensor{"sensor", 0xFFFF, 0xFF, 4, Korvix_ReadRegisterEx,
                               Korvix_WriteRegisterEx};

struct RegisterArguments {
    std::string address;
    std::string countOrValue;
};

std::string RegisterName(const RegisterBank &bank, long address) {
    return std::string(bank.name) + " register " + Hex(static_cast<unsigned>(address), bank.addressDigits);
}

void RunRead(const GlobalOptions &options, const RegisterBank &bank, const RegisterArguments &arguments) {
    const long first = ParseInteger(arguments.address, 0, bank.lastAddress, "the register address");
    const long count = arguments.countOrValue.empty()
                           ? 1
                           : ParseInteger(arguments.countOrValue, 1, bank.lastAddress + 1 - first,
                                          "the register count");
    CameraSession session(options);
    nlohmann::json data = nlohmann::json::array();
    for (long address = first; address < first + count; ++address) {
        int ok = 1;
        const int value = bank.read(session.Handle(), static_cast<int>(address), &ok);
        if (!ok) session.Fail("reading " + RegisterName(bank, address));
        data.push_back({{"address", address}, {"value", value}});
    }
    Emit(options, data, [&](std::ostream &out) {
        for (const nlohmann::json &entry : data) {
            out << Hex(entry["address"].get<unsigned>(), bank.addressDigits) << ' '
                << Hex(entry["value"].get<unsigned>()) << '\n';
        }
    });
}

void RunWrite(const GlobalOptions &options, const RegisterBank &bank, const RegisterArguments &arguments) {
    const long address = ParseInteger(arguments.address, 0, bank.lastAddress, "the register address");
    const long value = ParseInteger(arguments.countOrValue, 0, bank.maxValue, "the register value");
    CameraSession session(options);
    session.Check(bank.write(session.Handle(), static_cast<int>(address), static_cast<int>(value)),
                  "writing " + RegisterName(bank, address));
    Emit(options, {{"address", address}, {"value", value}}, [&](std::ostream &out) {
        out << Hex(static_cast<unsigned>(address), bank.addressDigits) << ' '
            << Hex(static_cast<unsigned>(value)) << '\n';
    });
}

void AddBank(CLI::App &app, GlobalOptions &options, const char *command, const RegisterBank &bank) {
    CLI::App *group = app.add_subcommand(command, std::string("Read or write ") + bank.name + " registers");
    group->require_subcommand(1);
    auto arguments = std::make_shared<RegisterArguments>();
    CLI::App *read = group->add_subcommand("read", "Print COUNT registers (default 1) from ADDRESS");
    read->add_option("address", arguments->address, "register address")->required();
    read->add_option("count", arguments->countOrValue, "number of registers");
    RunsAs(read, options, [&options, &bank, arguments] { RunRead(options, bank, *arguments); });
    CLI::App *write = group->add_subcommand("write", "Write VALUE (0 to 0xFF) to ADDRESS");
    write->add_option("address", arguments->address, "register address")->required();
    write->add_option("value", arguments->countOrValue, "0 to 0xFF")->required();
    RunsAs(write, options, [&options, &bank, arguments] { RunWrite(options, bank, *arguments); });
}

}  // namespace

void AddRegisterCommands(CLI::App &app, GlobalOptions &options) {
    AddBank(app, options, "fpga", kFpga);
    AddBank(app, options, "sensor", kSensor);
}

}  // namespace korvix::tool
