// The application object: start-up and the message loop.
#pragma once

class CRolvetApp {
public:
    // Starts the editor and runs it until the main window closes; returns the exit status.
    static int Run(int argc, char** argv);
};
