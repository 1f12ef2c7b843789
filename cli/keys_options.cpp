#include "cli/keys_options.h"

#include <CLI/CLI.hpp>

namespace {

void AddCommon(CLI::App* command, KeySetOptions& o, const char* carried)
{
    command->add_option("DIR", o.folder, "the keys/ folder beside the catalogue")->required()->type_name("");
    command->add_option("--root", o.roots, std::string("a root public key (repeat for each)") + carried)
        ->type_name("PUBFILE");
    command->add_option("--root-threshold", o.rootThreshold, "how many root keys must sign the next key set")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    command->add_option("--catalogue-key", o.catalogueKeys,
                        std::string("a catalogue public key (repeat for each)") + carried)
        ->type_name("PUBFILE");
    command->add_option("--threshold", o.threshold, "how many catalogue keys must sign a catalogue")
        ->type_name("N")
        ->check(CLI::PositiveNumber);
    command->add_option("--expires", o.expiresDays, "days until the key set expires (default 365)")
        ->type_name("DAYS")
        ->check(CLI::Range(1, 3660));
}

}  // namespace

KeysSubcommands AddKeysSubcommands(CLI::App& catalogue, KeySetOptions& options)
{
    CLI::App* keys = catalogue.add_subcommand("keys", "write the numbered key sets (N.keys.json) of a catalogue");
    keys->require_subcommand(1);
    KeysSubcommands added;
    added.init = keys->add_subcommand("init", "write DIR/1.keys.json, for the build's root keys to sign");
    AddCommon(added.init, options, "");
    added.init->get_option("--root")->required();
    added.init->get_option("--catalogue-key")->required();
    added.rotate = keys->add_subcommand(
        "rotate", "write the next key set after the newest in DIR, for its old and new root keys to sign");
    AddCommon(added.rotate, options, "; default: the newest key set's");
    return added;
}
