// make_manpages OUTDIR: writes the manual pages zelt(1), zelt-client(1) and zelt-server(1) into
// OUTDIR. zelt's page is made from the same data its --help prints; the administration commands
// of zelt-server come from the data `zelt-server admin --help` prints, when that is built in.
#include <cctype>
#include <cstdio>
#include <fstream>
#include <string>
#include <string_view>
#include <utility>

#include "client/cli/manual.h"
#include "packaging/manpages/program_manuals.h"
#include "packaging/manpages/roff.h"

#if __has_include("server/admin/admin_help.h")
#include "server/admin/admin_help.h"
#define ZELT_HAVE_ADMIN_HELP 1
#endif

namespace {

using zelt::cli::Manual;
namespace roff = zelt::manpages;

std::string header(std::string_view name) {
    std::string upper;
    for (const char c : name)
        upper += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return ".TH \"" + upper + "\" 1 \"\" \"ZELT " ZELT_VERSION "\" \"ZELT manual\"\n";
}

std::string optionTerm(const zelt::cli::OptionDoc& option) {
    std::string names(option.names);
    if (const std::size_t comma = names.find(','); comma != std::string::npos) {
        names.replace(comma, 1, ", ");
    }
    return option.argument.empty() ? names : names + " " + std::string(option.argument);
}

#ifdef ZELT_HAVE_ADMIN_HELP
// Every page of `zelt-server admin --help`, one subsection each, in the order --help lists them.
std::string adminPages() {
    namespace admin = zelt::server::admin;
    std::string out = roff::section("Administration");
    for (const admin::HelpPage& page : admin::helpPages()) {
        std::string name = "zelt-server admin";
        if (!page.commands.empty() && !page.commands.front().empty()) {
            std::string_view gap = " ";
            for (const std::string_view word : page.commands) {
                name += std::string(gap) + std::string(word);
                gap = ", ";
            }
        }
        out += ".SS \"" + roff::escape(name, true) + "\"\n";
        out += roff::paragraph(page.summary);
        std::string forms;
        for (const std::string_view form : page.synopsis) {
            forms += "zelt-server admin " + std::string(form) + "\n";
        }
        if (!forms.empty()) forms.pop_back();
        out += roff::literal(forms);
        std::string_view text = page.description;
        while (!text.empty()) {
            const std::size_t gap = std::min(text.find("\n\n"), text.size());
            out += roff::paragraph(text.substr(0, gap));
            text.remove_prefix(std::min(gap + 2, text.size()));
        }
        const std::pair<std::string_view, std::span<const admin::HelpEntry>> lists[] = {
            {"Commands", page.subcommands},
            {"Options", page.options},
            {"Exit status", page.exitStatus},
            {"Files", page.files}};
        for (const auto& [label, entries] : lists) {
            if (entries.empty()) continue;
            out += ".PP\n.B \"" + std::string(label) + "\"\n";
            for (const admin::HelpEntry& e : entries) out += roff::tagged(e.term, e.text);
        }
    }
    return out;
}
#endif

std::string render(const Manual& m, std::string_view extra, std::string_view seeAlso) {
    std::string out = header(m.name);
    out += roff::section("Name");
    out += roff::escape(m.name, true) + " \\- " + roff::escape(m.purpose) + "\n";
    out += roff::section("Synopsis");
    out += ".nf\n" + roff::escape(m.synopsis, true) + "\n.fi\n";
    out += roff::section("Description");
    for (const std::string_view p : m.description) out += roff::paragraph(p);
    if (!m.options.empty()) {
        out += roff::section("Options");
        for (const auto& o : m.options) out += roff::tagged(optionTerm(o), o.text);
    }
    if (!m.commands.empty()) {
        out += roff::section("Commands");
        for (const auto& c : m.commands) {
            std::string term(c.name);
            if (!c.arguments.empty()) term += " " + std::string(c.arguments);
            out += roff::tagged(term, c.text);
            if (c.options.empty()) continue;
            out += ".RS\n";
            for (const auto& o : c.options) out += roff::tagged(optionTerm(o), o.text);
            out += ".RE\n";
        }
    }
    for (const auto& s : m.sections) {
        out += roff::section(s.title);
        for (const std::string_view p : s.paragraphs) out += roff::paragraph(p);
    }
    out += extra;
    const auto terms = [&out](std::string_view title, const auto& list) {
        if (list.empty()) return;
        out += roff::section(title);
        for (const auto& t : list) out += roff::tagged(t.term, t.text);
    };
    terms("Exit status", m.exitStatus);
    terms("Environment", m.environment);
    terms("Files", m.files);
    if (!m.examples.empty()) {
        out += roff::section("Examples");
        std::string lines;
        for (const std::string_view e : m.examples) lines += std::string(e) + "\n";
        lines.pop_back();
        out += roff::literal(lines);
    }
    out += roff::section("See also");
    out += roff::escape(seeAlso, true) + "\n";
    return out;
}

bool write(const std::string& folder, std::string_view name, const std::string& page) {
    const std::string path = folder + "/" + std::string(name) + ".1";
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << page;
    out.close();
    if (out) return true;
    std::fprintf(stderr, "make_manpages: cannot write %s\n", path.c_str());
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_manpages OUTDIR\n");
        return 2;
    }
    const std::string folder = argv[1];
    std::string adminPart;
#ifdef ZELT_HAVE_ADMIN_HELP
    adminPart = adminPages();
#endif
    bool ok =
        write(folder, "zelt", render(zelt::cli::manual(), "", "zelt-client(1), zelt-server(1)"));
    ok &= write(folder, "zelt-client",
                render(zelt::manpages::clientManual(), "", "zelt(1), zelt-server(1)"));
    ok &= write(
        folder, "zelt-server",
        render(zelt::manpages::serverManual(), adminPart, "zelt(1), zelt-client(1), systemctl(1)"));
    return ok ? 0 : 1;
}
