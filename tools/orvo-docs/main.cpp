// Writes a saver's man page, desktop entry or screen-saver manager
// description to standard output:
//   orvo-docs man|desktop|xscreensaver SAVER LIBEXECDIR
#include <cstdio>
#include <string>

#include "framework/settings/settings.h"
#include "shell/command_line.h"
#include "tools/catalog/saver_catalog.h"

namespace {

using orvo::catalog::Entry;

// Escapes text for troff: backslashes and a leading dot or quote.
std::string Roff(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '\\') out += "\\e";
    else if (c == '-') out += "\\-";
    else out += c;
  }
  if (!out.empty() && (out[0] == '.' || out[0] == '\'')) out.insert(0, "\\&");
  return out;
}

// One option of the shell's table as a tagged paragraph: switches in bold,
// the ID argument in italics.
void OptionItem(const orvo::shell::OptionHelp& option) {
  std::string forms;
  std::string word;
  auto flush = [&]() {
    if (word.empty()) return;
    std::string core = word;
    std::string after;
    if (core.back() == ',') {
      core.pop_back();
      after = ",";
    }
    if (core == "ID") forms += "\\fIID\\fR";
    else if (core == "[ID]") forms += "[\\fIID\\fR]";
    else if (core[0] == '/' || core[0] == '-') forms += "\\fB" + Roff(core) + "\\fR";
    else forms += Roff(core);
    forms += after;
    word.clear();
  };
  for (const char* c = option.forms; *c != '\0'; ++c) {
    if (*c == ' ') {
      flush();
      forms += ' ';
    } else {
      word += *c;
    }
  }
  flush();
  std::printf(".TP\n%s\n%s\n", forms.c_str(), Roff(option.description).c_str());
}

std::string Upper(std::string s) {
  for (char& c : s) c = static_cast<char>(c >= 'a' && c <= 'z' ? c - 32 : c);
  return s;
}

void ManPage(const Entry& e, const std::string& libexec) {
  const auto& t = *e.module->settings;
  const std::string name = e.module->program;
  std::printf(".TH %s 6 \"\" \"Orvo savers\" \"Screen savers\"\n", Upper(name).c_str());
  std::printf(".SH NAME\n%s \\- %s\n", name.c_str(), Roff(e.summary).c_str());
  std::printf(".SH SYNOPSIS\n.B %s\n[\\fB/s\\fR | \\fB/c\\fR | \\fB/p\\fR \\fIID\\fR | \\fB/l\\fR \\fIID\\fR | "
              "\\fB/a\\fR [\\fIID\\fR] | \\fB\\-\\-root\\fR | \\fB\\-\\-window\\-id\\fR \\fIID\\fR | "
              "\\fB\\-\\-window\\fR | \\fB\\-\\-lock\\fR | \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR] "
              "[\\fB\\-\\-detach\\fR]\n", name.c_str());
  std::printf(".SH DESCRIPTION\n%s (%s). %s\n.PP\nAll colour movement comes from a palette of "
              "235 animated colours that scrolls, rotates and cross-fades to a new palette every "
              "palette duration; the picture itself is drawn once.\n",
              Roff(e.module->display_name).c_str(), Roff(e.summary).c_str(), Roff(e.description).c_str());
  std::printf(".SH OPTIONS\nThe switch letter may follow any mix of blanks, \\- and /, in either case; "
              "only the first letter counts, so \\fB/save\\fR is \\fB/s\\fR and \\fB\\-h\\fR is an unknown "
              "switch.\n");
  const orvo::shell::OptionTable& options = orvo::shell::Options();
  for (int i = 0; i < options.run_mode_count; ++i) OptionItem(options.run_modes[i]);
  std::printf(".PP\n%s\n.PP\nOn Linux also:\n", Roff(options.hot_corner_note).c_str());
  for (int i = 0; i < options.linux_option_count; ++i) OptionItem(options.linux_options[i]);
  std::printf(".PP\nThe setup dialog is captioned \"%s\".\n", Roff(t.dialog_caption).c_str());
  std::printf(".SH SETTINGS\nSection \\fB[%s]\\fR of \\fIcontrol.ini\\fR, written by the setup "
              "dialog. The ranges are the dialog's; a value edited by hand outside them is shown as "
              "it is and kept within safe bounds by the saver.\n", Roff(t.section).c_str());
  for (const orvo::settings::Row& row : t.rows) {
    std::printf(".TP\n\\fB%s\\fR (%s)\n%d to %d, default %d.\n", Roff(row.key).c_str(),
                Roff(row.label).c_str(), row.min, row.max, row.default_value);
  }
  std::printf(".TP\n\\fBEffect\\fR\n0 Ramp, 1 Fade, 2 Smooth, 3 Coarse, 4 Random; default %d.\n"
              ".TP\n\\fBShifted\\fR\n0 or 1: the three colour channels drift against each other; "
              "default %d.\n"
              ".TP\n\\fBPWProtected\\fR\nThe dialog's \"Password Protected\" box; default 0.\n"
              ".TP\n\\fBSAVED_\\fR\\fIn\\fR\nPresets written by the dialog.\n",
              t.effect_default, t.shifted_default);
  std::printf(".SH FILES\n.TP\n\\fI$ORVO_CONFIG_DIR/control.ini\\fR\nSettings and presets; the "
              "folder is \\fB$ORVO_CONFIG_DIR\\fR, else \\fB$XDG_CONFIG_HOME/orvo\\fR, else "
              "\\fI~/.config/orvo\\fR.\n"
              ".TP\n\\fIregistry.ini\\fR\nIn the same folder: \\fBScreenSaveUsePassword=1\\fR in section "
              "[HKEY_CURRENT_USER\\eControl Panel\\eDesktop] turns password protection on.\n"
              ".TP\n\\fI%s/%s\\fR\nThe program.\n", libexec.c_str(), name.c_str());
  std::printf(".SH ENVIRONMENT\n.TP\n\\fBDISPLAY\\fR\nThe X display.\n.TP\n\\fBWAYLAND_DISPLAY\\fR\n"
              "The Wayland display: when set, full-screen and windowed runs are Wayland clients.\n"
              ".TP\n\\fBORVO_BACKEND\\fR\n\\fBx11\\fR or \\fBwayland\\fR: the display to use, whatever "
              "the other variables say.\n.TP\n\\fBXSCREENSAVER_WINDOW\\fR\n"
              "The window to draw into with \\fB\\-\\-root\\fR.\n.TP\n\\fBORVO_DISPLAY_BITS\\fR\n"
              "4, 8, 16, 24 or 32: the colour depth the emulated display reports (8 animates).\n"
              ".TP\n\\fBXSS_SLEEP_LOCK_FD\\fR\nA descriptor an idle manager holds off suspending with: a "
              "locked run closes it as soon as the screen is locked.\n");
  std::printf(".SH EXIT STATUS\n0 after a run, and for \\fB\\-\\-help\\fR and \\fB\\-\\-version\\fR; "
              "1 for OK in the setup dialog, or when a mode that shows something cannot open the X "
              "display; 255 for an unknown switch, a preview whose window handle is 0, or a window that "
              "does not exist. The switches are read before the display is opened.\n.PP\nA locked run "
              "exits with 0 only after the right password, or on SIGTERM while locked; every other "
              "catchable signal is ignored while it runs. It exits with 2 when it could not lock "
              "(another program holds the keyboard or the pointer, the pointer rests in the hot corner, "
              "or SIGTERM came before the screen was locked; on Wayland, when the compositor offers no "
              "way to lock or refuses the lock; the reason on standard error), and with 3 "
              "when another lock of these savers holds the screen. On Wayland with ext-session-lock a "
              "killed or terminated guardian leaves the session locked: the compositor keeps it.\n");
}

void DesktopEntry(const Entry& e, const std::string& libexec) {
  std::printf("[Desktop Entry]\nType=Application\nName=%s\nComment=%s\nExec=%s/%s --root\n"
              "TryExec=%s/%s\nStartupNotify=false\nTerminal=false\nCategories=Screensaver;\n",
              e.module->display_name, e.summary, libexec.c_str(), e.module->program, libexec.c_str(),
              e.module->program);
}

std::string Xml(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == '&') out += "&amp;";
    else if (c == '<') out += "&lt;";
    else if (c == '>') out += "&gt;";
    else if (c == '"') out += "&quot;";
    else out += c;
  }
  return out;
}

void ManagerDescription(const Entry& e, const std::string& libexec) {
  std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<screensaver name=\"%s\" _label=\"%s\">\n"
              "  <command arg=\"--root\"/>\n"
              "  <_description>\n%s\n\nProgram: %s/%s. Settings: run it with /c.\n"
              "  </_description>\n</screensaver>\n",
              e.module->program, Xml(e.module->display_name).c_str(), Xml(e.description).c_str(),
              Xml(libexec).c_str(), e.module->program);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fputs("usage: orvo-docs man|desktop|xscreensaver SAVER LIBEXECDIR\n", stderr);
    return 2;
  }
  const std::string kind = argv[1];
  const Entry* e = orvo::catalog::Find(argv[2]);
  if (e == nullptr) {
    std::fprintf(stderr, "orvo-docs: unknown saver \"%s\" (one of %s)\n", argv[2], orvo::catalog::NameList());
    return 2;
  }
  if (kind == "man") ManPage(*e, argv[3]);
  else if (kind == "desktop") DesktopEntry(*e, argv[3]);
  else if (kind == "xscreensaver") ManagerDescription(*e, argv[3]);
  else {
    std::fprintf(stderr, "orvo-docs: unknown kind \"%s\" (man, desktop or xscreensaver)\n", kind.c_str());
    return 2;
  }
  return 0;
}
