#include "console/QTM200DebugApp.h"

int main(int argc, char** argv) {
    CQTM200DebugApp app(argc, argv);
    return app.InitInstance();
}
