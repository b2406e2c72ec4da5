// tavrel-import: reads one scene file (FBX, glTF, COLLADA) through the third-party importer in a
// process of its own, for the editor and the command line, and writes what it read to its
// standard output (see AnimRead/SceneFileRead/SceneImport.h).
#include "AnimRead/SceneFileRead/SceneImport.h"
#include "motion/AnimFileFactory.h"

int main(int argc, char** argv) {
    return tavrel::RunImportHelper(argc, argv, tavrel::HumanSkeletonScore);
}
