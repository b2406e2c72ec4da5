#include <unistd.h>

#include <algorithm>
#include <filesystem>

#include "cli/Commands.h"
#include "cli/ProjectCommands.h"

// The drawing commands need the GL, picture and video libraries, whose loading alone takes
// longer than a motion command needs in all. The motion tool leaves them out and hands them to
// the drawing tool beside it (null here); the drawing tool has every command.
#ifdef TAVREL_CLI_WITHOUT_DRAWING
#define TAVREL_DRAWING(run) nullptr
#else
#define TAVREL_DRAWING(run) run
#endif

namespace tavrel::cli {
namespace {

// Runs the same command line in the drawing tool, which takes this process's place.
int RunInDrawingTool(const Args& argv, std::ostream& out, std::ostream& err) {
    std::error_code error;
    const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe", error);
    const std::string tool = (self.parent_path() / "tavrel-cli-draw").string();
    std::vector<char*> args;
    for (const std::string& a : argv) args.push_back(const_cast<char*>(a.c_str()));
    args[0] = const_cast<char*>(tool.c_str());
    args.push_back(nullptr);
    out.flush();
    err.flush();
    ::execv(tool.c_str(), args.data());
    err << "error: " << argv[1] << " needs " << tool << ", which cannot be started\n";
    return kExitFailed;
}

void PrintHelp(std::ostream& out) {
    out << "Usage: tavrel-cli COMMAND ARGS...\n\n"
           "Reads, edits and draws motion files (CHA, CHB, HTR, BVH) without the editor. Input "
           "files are\n"
           "never changed. Exit codes: 0 done, 1 failed, 2 wrong usage.\n\nCommands:\n";
    for (const Command& c : Commands()) {
        out << "  " << c.name << ' ' << c.usage << "\n      " << c.summary << '\n';
    }
}

}  // namespace

const std::vector<Command>& Commands() {
    static const std::vector<Command> commands = {
        {"info", "FILE [--json]",
         "file type, frame rate, frame range and every segment (index, name, parent, length); "
         "the takes of a scene file (FBX, glTF, COLLADA) with their length in seconds",
         RunInfoCommand},
        {"contacts", "FILE [--json]",
         "the frames (first and last, counted from 0) in which each foot is planted",
         RunContactsCommand},
        {"convert", "IN OUT",
         "writes IN (CHA, CHB, HTR or BVH) as CHA, CHB or BVH by OUT's extension, keeping its "
         "skeleton",
         RunConvertCommand},
        {"import", "IN OUT [--take NAME] [--fps 30|60] [--map FILE] [--json]",
         "maps a motion of another human skeleton (BVH, HTR, FBX, glTF, COLLADA, ...) onto the "
         "standard one and writes it; a scene file's named take, else its first",
         RunImportCommand},
        {"pose", "FILE --frame N [--json]",
         "every segment's local matrix, rotation quaternion (w x y z) and world position",
         RunPoseCommand},
        {"match", "A B [--json]",
         "where motion B should start to blend into the end of motion A: the frame of A where\n"
         "      the overlap starts, B's frame that meets it, the overlap's length and the two\n"
         "      motions' distance through it (joints, every placement taken away)",
         RunMatchCommand},
        {"edit",
         "reverse IN OUT | resample N IN OUT | split N IN OUT_A OUT_B |\n"
         "       translate X Y Z IN OUT [--absolute] | rotate NAME W X Y Z IN OUT [--absolute] |\n"
         "       mirror IN OUT | repeat IN OUT N | ease IN OUT in|out|both",
         "edits a motion on the standard skeleton into new files (outputs must not exist)",
         RunEditCommand},
        {"project", "FILE [--json]",
         "opens a project file as the timeline does: its clips, media clips and sound",
         RunProjectCommand},
        {"sample", "FILE FRAME... [--json]",
         "what the timeline of a project file shows at each frame (motions, weights, media)",
         RunSampleCommand},
        {"compose",
         "PROJECT add FILE [--at FRAME | --after | --blend N [--best]] [--own-place]\n"
         "       [--feet-free] | move K FRAME | remove K | curve K NAME | match K |\n"
         "       speed K in|out|both|none",
         "edits a project file (a new one when it does not exist) as the editor's actions do:\n"
         "      a clip added at a frame, after the last one or blended over its last N frames\n"
         "      (--best: moved to where the motions are most alike), clip K (1 the first in\n"
         "      time) moved, removed, given a curve (Linear, EaseIn, EaseOut, Curve, Inertial)\n"
         "      or its blend with the clip before moved to the best point, or its speed eased\n"
         "      over its length",
         RunComposeCommand},
        {"render",
         "FILE [--frame N] [--camera front|back|left|right|up|down] [--size WxH] [--scale S]\n"
         "       -o OUT.png",
         "draws the avatar posed at a frame of a motion, or a frame of a project's timeline\n"
         "      with its picture or video behind (headless), and writes a PNG picture",
         TAVREL_DRAWING(RunRenderCommand)},
        {"bake", "PROJECT OUT.cha|OUT.chb|OUT.bvh|OUT.glb|OUT.gltf [--plain] [--skeleton-only]",
         "writes a project's whole timeline (frame 0 to its last frame) as one motion at 60 fps,\n"
         "      frame for frame as the editor plays it (--plain: clips mixed as captured, without\n"
         "      their places or held feet); glTF carries the avatar's body as a skin of the\n"
         "      skeleton (--skeleton-only: the skeleton alone)",
         TAVREL_DRAWING(RunBakeCommand)},
        {"render-video",
         "PROJECT -o OUT.mp4 [--size WxH] [--camera front|back|left|right|up|down]\n"
         "       [--from F] [--to F]",
         "encodes a project's timeline at 60 fps as the editor shows it (avatar, picture or\n"
         "      video behind, sound track), headless, with a progress line on stderr",
         TAVREL_DRAWING(RunRenderVideoCommand)},
        {"frame", "VIDEO --time MS -o OUT.png|OUT.bmp",
         "writes the frame of a video (AVI, MP4, MOV, MKV, WebM) shown at that time",
         TAVREL_DRAWING(RunFrameCommand)},
        {"thumbnails", "DIR -o OUTDIR [--size N] [--cache DIR | --no-cache]",
         "the gallery's picture of every motion file in DIR, as OUTDIR/<file name>.png",
         TAVREL_DRAWING(RunThumbnailsCommand)},
    };
    return commands;
}

int Usage(std::ostream& err, const char* command, const std::string& detail) {
    err << "tavrel-cli " << command << ": " << detail << " (see tavrel-cli " << command
        << " --help)\n";
    return kExitUsage;
}

int RunTool(const Args& argv, std::ostream& out, std::ostream& err) {
    if (argv.size() < 2 || argv[1] == "--help" || argv[1] == "-h" || argv[1] == "help") {
        PrintHelp(argv.size() < 2 ? err : out);
        return argv.size() < 2 ? kExitUsage : kExitOk;
    }
    const auto& commands = Commands();
    auto found = std::find_if(commands.begin(), commands.end(),
                              [&](const Command& c) { return argv[1] == c.name; });
    if (found == commands.end()) {
        err << "tavrel-cli: unknown command '" << argv[1] << "' (see tavrel-cli --help)\n";
        return kExitUsage;
    }
    const Args rest(argv.begin() + 2, argv.end());
    if (std::find(rest.begin(), rest.end(), "--help") != rest.end()) {
        out << "Usage: tavrel-cli " << found->name << ' ' << found->usage << '\n'
            << found->summary << '\n';
        return kExitOk;
    }
    if (!found->run) return RunInDrawingTool(argv, out, err);
    return found->run(rest, out, err);
}

}  // namespace tavrel::cli
