#include "app/BatchCommand.h"
#include "app/RolvetApp.h"

int main(int argc, char** argv) {
    if (const auto status = RunBatchCommand(argc, argv)) {
        return *status;
    }
    return CRolvetApp::Run(argc, argv);
}
