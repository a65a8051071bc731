#include "cli/CliOptions.h"

#include <CLI/CLI.hpp>
#include <QString>
#include <limits>
#include <ostream>

#include "cli/CliHelp.h"
#include "cli/CliTraceOptions.h"
#include "core/files/FolderPattern.h"

namespace {

const char* const Description =
    "Lists, downloads, uploads and deletes the pictures and files of Motorola P2K phones\n"
    "attached by USB, with the rules of the Snaprill window. A phone in modem mode is\n"
    "switched into P2K mode by the command that uses it, which waits for it to come\n"
    "back (up to 15 seconds, or --wait SECONDS). Names of phone files are full phone\n"
    "paths as `ls` shows them (/a/mobile/picture/x.jpg) or, without a \"/\", the\n"
    "file's own name; letter case does not matter.";

const char* const ExitStatus =
    "Exit status:\n"
    "  0  all done\n"
    "  1  some files failed (each is named on standard error)\n"
    "  2  usage error\n"
    "  3  no phone, the phone is in use by another program, or it was lost during the command\n"
    "  4  a local file or folder could not be written\n"
    "When several apply, the first of 2, 3, 4 and 1 is given.";

// Said after a usage error, as the common tools say it.
const char* const TryHelp = "Try 'snaprill-cli --help' for more information.\n";

void phoneOption(CLI::App* Command, TCliOptions& O) {
    Command->add_option("--phone", O.Phone, "the phone, by its number in `phones` (1 by default)")
        ->type_name("N")
        ->check(wholeNumber(1, std::numeric_limits<int>::max()));
}

void driveOption(CLI::App* Command, TCliOptions& O) {
    Command->add_option("--drive", O.Drive, "the phone's drive, such as /a (its first by default)")
        ->type_name("DRIVE");
}

void filesFlag(CLI::App* Command, TCliOptions& O) {
    Command->add_flag("--files", O.Files,
                      "every file of the drive, as File Manager lists them, not only the "
                      "pictures of /mobile/picture/");
}

// What the parser cannot check alone.
std::string checkCombinations(const TCliOptions& O) {
    if (O.Command == TCliCommand::Get && O.Files && O.DeleteAfter) {
        return "--delete-after takes pictures only: it cannot go with --files";
    }
    if (O.Command == TCliCommand::Get && O.Files &&
        (!O.Into.empty() || !O.AlsoTo.empty() || O.KeepBoth)) {
        return "--into, --also-to and --keep-both take pictures only: they cannot go with "
               "--files";
    }
    if (O.Command == TCliCommand::Get && O.Mirror && !O.Into.empty()) {
        return "--into and --mirror each choose the folders under DIR: give one of them";
    }
    if (O.Command == TCliCommand::Get && !O.Into.empty()) {
        if (const auto problem = folderPatternProblem(QString::fromStdString(O.Into))) {
            return "--into " + O.Into + " cannot be used: " + problem->toStdString();
        }
    }
    if (O.Command == TCliCommand::Put && !O.To.empty() && O.To.front() != '/') {
        return "--to must be a phone folder such as /a/mobile/picture/";
    }
    return {};
}

}  // namespace

TParsedArgs parseCliArgs(const std::vector<std::string>& Args, std::ostream& Out,
                         std::ostream& Err) {
    TCliOptions o;
    CLI::App app(Description, "snaprill-cli");
    app.formatter(std::make_shared<TCliFormatter>());
    app.footer(ExitStatus);
    app.set_help_flag("-h,--help", "print this help and exit");
    app.set_version_flag("--version", std::string("snaprill-cli ") + SNAPRILL_VERSION,
                         "print the version and exit");
    app.fallthrough();  // global options may follow the command
    app.require_subcommand(1);
    app.add_option("--wait", o.WaitSeconds,
                   "wait up to SECONDS for a phone to be plugged in, and for a phone in modem "
                   "mode to come back in P2K mode")
        ->type_name("SECONDS")
        ->check(wholeNumber(0, int64_t{24} * 3600, "seconds"));
    app.add_flag("--json", o.Json, "print one JSON document on standard output, for scripts");
    app.add_flag("-q,--quiet", o.Quiet,
                 "no progress line and no line per file; errors are still printed");
    addTraceOptions(app, o);

    CLI::App* phones = app.add_subcommand("phones", "list the phones present, one a line");
    phones->add_flag("--switch", o.Switch,
                     "switch every phone in modem mode to P2K mode (with --wait, wait for "
                     "them to come back)");
    CLI::App* ls = app.add_subcommand(
        "ls", "list the phone's pictures, or every file with --files: size and name");
    phoneOption(ls, o);
    driveOption(ls, o);
    filesFlag(ls, o);

    CLI::App* get = app.add_subcommand(
        "get",
        "download the named files, or every listed one, into DIR (the window's save "
        "folder by default)");
    get->add_option("NAME", o.Names, "phone files to download (every listed file when none)");
    phoneOption(get, o);
    driveOption(get, o);
    filesFlag(get, o);
    get->add_option("--to", o.To, "the folder the files go to")->type_name("DIR");
    get->add_flag("--overwrite", o.Overwrite, "replace local files of the same name");
    get->add_flag("--new", o.NewOnly,
                  "skip pictures downloaded from this phone before, wherever their copies went");
    get->add_flag("--delete-after", o.DeleteAfter,
                  "delete each picture from the phone once its complete copy is on the disk");
    get->add_flag("--mirror", o.Mirror,
                  "keep the phone's folders under DIR (/a/mobile/picture/x.jpg goes to "
                  "DIR/a/mobile/picture/x.jpg)");
    get->add_option("--into", o.Into,
                    "sort the pictures into folders under DIR by the date each was taken: %Y "
                    "year, %m month, %d day, %M the phone's model, %% a %; such as %Y/%Y-%m-%d")
        ->type_name("PATTERN");
    get->add_option("--also-to", o.AlsoTo,
                    "copy each picture into this folder too (in the same folders by date), "
                    "durably, before --delete-after takes it off the phone")
        ->type_name("DIR");
    get->add_flag("--keep-both", o.KeepBoth,
                  "save a different picture whose name is taken as \"name (2).jpg\"; the same "
                  "picture is still skipped");

    CLI::App* put = app.add_subcommand("put", "upload local files to the phone");
    put->add_option("FILE", o.Names, "local files to upload")->required();
    phoneOption(put, o);
    driveOption(put, o);
    put->add_option("--to", o.To, "the phone folder (/mobile/picture/ of the drive by default)")
        ->type_name("FOLDER");

    CLI::App* rm = app.add_subcommand("rm", "delete files from the phone");
    rm->add_option("NAME", o.Names, "phone files to delete")->required();
    phoneOption(rm, o);
    driveOption(rm, o);
    filesFlag(rm, o);

    CLI::App* exclude = app.add_subcommand(
        "exclude", "the exclusion list of pictures never to download, shared with the window");
    exclude->require_subcommand(1);
    CLI::App* exList = exclude->add_subcommand("list", "show the exclusion list");
    CLI::App* exAdd = exclude->add_subcommand("add", "add phone names to the exclusion list");
    exAdd
        ->add_option("NAME", o.Names,
                     "phone names such as /a/mobile/picture/x.jpg, or a picture's own name")
        ->required();
    CLI::App* exRemove =
        exclude->add_subcommand("remove", "take phone names off the exclusion list");
    exRemove->add_option("NAME", o.Names, "phone names, or a picture's own name")->required();
    for (CLI::App* command : {exAdd, exRemove}) {
        command
            ->add_option("--drive", o.Drive,
                         "the drive whose pictures folder a picture's own name is in (/a by "
                         "default)")
            ->type_name("DRIVE");
    }

    CLI::App* doctor = addDoctorCommand(app);

    CLI::App* mount = app.add_subcommand(
        "mount",
        "show the phone as a folder: every file of every drive under DIR, for file managers, "
        "viewers and rsync (returns once mounted; `umount` ends it)");
    mount->add_option("DIR", o.Dir, "the folder to show the phone in")->required();
    phoneOption(mount, o);
    mount->add_flag("--read-only", o.ReadOnly,
                    "nothing is written or deleted on the phone: every change is refused");
    mount->add_flag("-f,--foreground", o.Foreground,
                    "serve in the foreground until unmounted or Ctrl+C, instead of returning");
    mount
        ->add_option("--refresh", o.RefreshSeconds,
                     "list a drive again when one of its folders is read more than SECONDS "
                     "after its last listing (30; 0 lists at every read)")
        ->type_name("SECONDS")
        ->check(wholeNumber(0, int64_t{24} * 3600, "seconds"));
    CLI::App* umount = app.add_subcommand("umount", "unmount a folder that `mount` serves");
    umount->add_option("DIR", o.Dir, "the folder the phone is shown in")->required();

    std::vector<std::string> names;
    for (CLI::App* command : app.get_subcommands({})) {
        command->group("Commands");
        names.push_back(command->get_name());
    }
    for (CLI::App* command : {exList, exAdd, exRemove}) {
        command->group("Commands");
    }

    std::vector<const char*> argv;
    argv.reserve(Args.size());
    for (const std::string& a : Args) {
        argv.push_back(a.c_str());
    }
    try {
        app.parse(static_cast<int>(argv.size()), argv.data());
    } catch (const CLI::CallForHelp& e) {
        return {std::nullopt, app.exit(e, Out, Err) == 0 ? ExitOk : ExitUsage};
    } catch (const CLI::CallForAllHelp& e) {
        return {std::nullopt, app.exit(e, Out, Err) == 0 ? ExitOk : ExitUsage};
    } catch (const CLI::CallForVersion& e) {
        return {std::nullopt, app.exit(e, Out, Err) == 0 ? ExitOk : ExitUsage};
    } catch (const CLI::ParseError& e) {
        std::string command;
        for (CLI::App* c : app.get_subcommands({})) {
            if (c->parsed()) {
                command = c->get_name();
                for (CLI::App* sub : c->get_subcommands({})) {
                    command += sub->parsed() ? ' ' + sub->get_name() : std::string();
                }
            }
        }
        Err << "snaprill-cli: " << usageMessage(e, Args, names, command) << '\n' << TryHelp;
        return {std::nullopt, ExitUsage};
    }

    const std::pair<CLI::App*, TCliCommand> commands[] = {
        {phones, TCliCommand::Phones},    {ls, TCliCommand::List},
        {get, TCliCommand::Get},          {put, TCliCommand::Put},
        {rm, TCliCommand::Remove},        {exList, TCliCommand::ExcludeList},
        {exAdd, TCliCommand::ExcludeAdd}, {exRemove, TCliCommand::ExcludeRemove},
        {mount, TCliCommand::Mount},      {umount, TCliCommand::Unmount},
        {doctor, TCliCommand::Doctor},
    };
    for (const auto& [command, kind] : commands) {
        if (command->parsed()) {
            o.Command = kind;
        }
    }
    if (const std::string problem = checkCombinations(o); !problem.empty()) {
        Err << "snaprill-cli: " << problem << '\n' << TryHelp;
        return {std::nullopt, ExitUsage};
    }
    return {o, ExitOk};
}
