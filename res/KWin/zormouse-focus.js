// Loaded into KWin by zormouse on a Plasma Wayland session, where the program cannot see which
// window has the focus: each activated window's application is handed to the program's D-Bus
// service (its desktop file name, else its resource class). KWin 6 names the signal
// windowActivated, KWin 5 clientActivated.
function report(window) {
    if (!window) return;
    var id = String(window.desktopFileName || '');
    if (id.length === 0) id = String(window.resourceClass || '');
    if (id.length === 0) return;
    callDBus(
        'example.zormouse.ZorMouse', '/example/zormouse/ZorMouse', 'example.zormouse.ZorMouse',
        'FocusedApplication', id);
}

if (workspace.windowActivated) {
    workspace.windowActivated.connect(report);
    report(workspace.activeWindow);
} else {
    workspace.clientActivated.connect(report);
    report(workspace.activeClient);
}
