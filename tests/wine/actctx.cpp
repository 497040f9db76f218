// actctx INSTALLER.EXE: builds an activation context from the installer's
// manifest (resource 1) as the system loader does, and prints the run level
// it asks for. Exits 0 only for "requireAdministrator" without uiAccess.
#include <windows.h>

#include <cstdio>

int main(int argc, char** argv)
{
    if (argc != 2)
        return 64;
    ACTCTXA request = {
        sizeof request, ACTCTX_FLAG_RESOURCE_NAME_VALID, argv[1], 0, 0, nullptr, MAKEINTRESOURCEA(1), nullptr, nullptr};
    HANDLE context = CreateActCtxA(&request);
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    SIZE_T size = 0;
    if (context == INVALID_HANDLE_VALUE ||
        !QueryActCtxW(0, context, nullptr, RunlevelInformationInActivationContext, &level, sizeof level, &size)) {
        std::printf("no run level from the manifest of %s: error %lu\n", argv[1], GetLastError());
        return 1;
    }
    std::printf("run level %d, uiAccess %lu\n", (int)level.RunLevel, level.UiAccess);
    return level.RunLevel == ACTCTX_RUN_LEVEL_REQUIRE_ADMIN && level.UiAccess == 0 ? 0 : 1;
}
