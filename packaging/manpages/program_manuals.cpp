#include "packaging/manpages/program_manuals.h"

namespace zelt::manpages {

namespace {

cli::Manual makeServerManual() {
    cli::Manual m;
    m.name = "zelt-server";
    m.purpose = "the ZELT file sharing server";
    m.synopsis =
        "zelt-server [--data-dir DIR]\n"
        "zelt-server --headless [--data-dir DIR]\n"
        "zelt-server admin [--data-dir DIR] [--json] COMMAND ...";
    m.description = {
        "zelt-server keeps the user accounts of a ZELT team, its groups of member files, the "
        "check-out locks on those files and their kept versions, and serves them to the ZELT "
        "clients (zelt-client(1), zelt(1)) over TCP, on port 32767 unless the administrator "
        "changed it.",
        "Without --headless it opens the administrator's window: a console of time-stamped "
        "lines, with the Server, Status, Message and Help menus; lines that carry a function run "
        "it when double-clicked. The window refuses to close while clients can connect and shows "
        "how to shut down instead. A second start on the same data directory by the same user "
        "brings the running window to the front.",
        "With --headless it runs without a window and writes its console to standard output; "
        "SIGTERM or SIGINT stops it in order, saving the account and group tables and emptying "
        "Temp. This is how the service runs it.",
        "A data directory serves one server at a time: a second start on one that is in use says "
        "so and ends with status 1, leaving the directory as it was.",
    };
    m.options = {
        {"--headless", "", "Runs without a window, the console on standard output."},
        {"--data-dir", "DIR",
         "The data directory. Without it, the one named by the path= line of "
         "/etc/zelt/server.conf (or of the file ZELT_SERVER_CONFIG names), else the current "
         "directory. The folders and the table files are made on the first start."},
    };
    m.sections = {
        {"The data directory",
         {"Files holds the kept versions, one folder for each checked-in file; the latest "
          "version of a member file stays at its own path. Temp holds copies for transfers and "
          "is emptied when the server ends. Groups.zelt and Accounts.zelt are the group and "
          "account tables, written at every change and at exit. Comm.zelt holds the port, "
          "Notice.zelt the log-in notice, Backup.zelt how many versions are kept (5 unless "
          "changed). Notify.zelt is the sound of alerts; the package links it to the one in "
          "/usr/share/zelt-server.",
          "To back the server up, stop it (or copy while nobody is logged in) and copy the whole "
          "data directory together with the member files. To move to a new machine, install the "
          "package there, stop the service, copy the data directory over with its owner kept, "
          "give the service access to the member files at the same paths, and start it."}},
        {"The service",
         {"The package installs the systemd unit zelt-server.service, which runs zelt-server "
          "--headless as the system user zelt-server on /var/lib/zelt-server, restarts it on "
          "failure and stops it with SIGTERM. Enable and start it with systemctl enable --now "
          "zelt-server; its console goes to the journal (journalctl -u zelt-server).",
          "The service sees the system read-only except its data directory. To let it read and "
          "check in member files in a shared folder, give the user zelt-server access to the "
          "folder (for example with setfacl -R -m u:zelt-server:rwX and the same as a default "
          "ACL) and make the folder writable for the service with systemctl edit zelt-server, "
          "adding the lines [Service] and ReadWritePaths=/srv/shared; then restart it.",
          "Stop the service before opening the window on the same data directory: only one "
          "server uses it at a time."}},
    };
    m.exitStatus = {
        {"0", "The server ended in order."},
        {"1", "Another server is using the data directory; nothing was done."},
        {"2", "A wrong command line, or a window asked for where there is no display."},
    };
    m.environment = {
        {"ZELT_SERVER_CONFIG",
         "The machine's server settings file, instead of "
         "/etc/zelt/server.conf."},
        {"DISPLAY, WAYLAND_DISPLAY", "The display the window opens on."},
    };
    m.files = {
        {"/etc/zelt/server.conf",
         "The machine's server settings: path=DIR names the data directory, contact=ADDRESS the "
         "mail address the Contact display offers."},
        {"/var/lib/zelt-server", "The service's data directory."},
        {"/lib/systemd/system/zelt-server.service", "The service."},
        {"/usr/share/doc/zelt-server/guide/index.html",
         "The administrator's guide, which Help > "
         "Manual opens."},
    };
    m.examples = {
        "sudo systemctl enable --now zelt-server",
        "sudo zelt-server admin account add anna --name \"Anna Berg\"",
        "zelt-server --headless --data-dir ~/zelt-test",
    };
    return m;
}

cli::Manual makeClientManual() {
    cli::Manual m;
    m.name = "zelt-client";
    m.purpose = "the ZELT client window";
    m.synopsis = "zelt-client [--data-dir DIR] [--user-dir DIR]";
    m.description = {
        "zelt-client is the desktop program each user of a ZELT team keeps open. It logs in to "
        "the team's zelt-server(1), lists the files of the user's groups, checks files out (an "
        "exclusive lock), fetches them into the Working folder, opens them, and checks them back "
        "in with a comment, which the server keeps as a new version. It also shows read-only "
        "copies, and the messages of the administrator and the other users.",
        "Half a second after it starts the Log-in dialog opens: the user name, the password, the "
        "server's IPv4 address and its port. The console then says who is logged in and lists "
        "the groups; double-click a group to see its files. Closing the window while logged in "
        "disconnects first; close it again to end the client.",
        "One client runs per data directory; a second start for the same one brings the first "
        "window to the front. zelt(1) uses the same data directory and user folder from "
        "scripts and terminals.",
    };
    m.options = {
        {"--data-dir", "DIR",
         "The data directory, which holds Comm.zelt and Chkout.zelt. Without it, the one named "
         "by the path= line of /etc/zelt/client.conf (or of the file ZELT_CLIENT_CONFIG names), "
         "else the current directory."},
        {"--user-dir", "DIR",
         "The user folder, which holds Working, Temp and Backup. Without it, the folder Zelt in "
         "the user's documents folder."},
        {"-h,--help", "", "Shows how to start it."},
    };
    m.exitStatus = {
        {"0", "The window was closed."},
        {"2", "A wrong command line."},
    };
    m.environment = {
        {"ZELT_CLIENT_CONFIG",
         "The machine's client settings file, instead of "
         "/etc/zelt/client.conf."},
        {"XDG_DOCUMENTS_DIR, HOME", "Where the documents folder is, which holds Zelt."},
    };
    m.files = {
        {"/etc/zelt/client.conf",
         "The machine's client settings: path=DIR names the data "
         "directory."},
        {"DIR/Comm.zelt", "The last log-in: the server's address and port and the user name."},
        {"DIR/Chkout.zelt", "The check-out table: every file held, and its working copy."},
        {"Zelt/Working", "The working copies of the files checked out."},
        {"Zelt/Temp", "Read-only copies, emptied when the client ends."},
        {"Zelt/Backup", "A copy of each file as it was last checked in."},
        {"/usr/share/zelt-client/Notify.zelt",
         "The sound of alerts, unless the data directory "
         "has one of its own."},
        {"/usr/share/doc/zelt-client/guide/index.html",
         "The users' guide, which Help > Manual "
         "opens."},
    };
    return m;
}

}  // namespace

const cli::Manual& serverManual() {
    static const cli::Manual m = makeServerManual();
    return m;
}

const cli::Manual& clientManual() {
    static const cli::Manual m = makeClientManual();
    return m;
}

}  // namespace zelt::manpages
