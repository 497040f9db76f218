"""The main job's run: one complete English installation into a fresh
prefix, reported for a person to read."""
from common import EN_CAPTION, ID_START, folder_text, open_main_dialog, scenario
from install import EN_DONE, check_installed, completion, dismiss_and_read_launch


@scenario("demo")
def complete_installation(ctx):
    s = ctx.session("demo")
    open_main_dialog(s, EN_CAPTION)
    folder = folder_text(s, EN_CAPTION)
    ctx.screenshots.append(s.screenshot(EN_CAPTION, "demo-main-dialog"))
    ctx.pause()
    s.drive("click", EN_CAPTION, str(ID_START))
    s.drive("wait", EN_DONE[0], "60000")
    files = check_installed(s, folder, ctx.payload_dir)
    completion(s, EN_DONE, "demo-completion", ctx)
    ctx.pause()
    line = dismiss_and_read_launch(s, EN_DONE[0], folder)
    target = s.host_path(folder)
    print(f"install folder: {folder}  (on this machine: {target})")
    for name in files:
        print(f"  wrote {name}  {(target / name).stat().st_size} bytes")
    print(f"the stand-in application recorded its command line: {line}")
