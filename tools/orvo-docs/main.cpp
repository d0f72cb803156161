// Writes a saver's man page, desktop entry or screen-saver manager
// description to standard output:
//   orvo-docs man|desktop|xscreensaver SAVER LIBEXECDIR
#include <cstdio>
#include <iterator>
#include <string>

#include "framework/settings/options.h"
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

// A tagged paragraph: the tag in bold, then the text.
struct Item {
  const char* tag;
  const char* text;
};

void Items(const Item* items, std::size_t count) {
  for (std::size_t i = 0; i < count; ++i) {
    std::printf(".TP\n\\fB%s\\fR\n%s\n", Roff(items[i].tag).c_str(), Roff(items[i].text).c_str());
  }
}

// The Wayland back end's variables, kept here in one place while that back
// end is being added.
constexpr Item kWaylandVariables[] = {
    {"WAYLAND_DISPLAY", "The Wayland display: when set, full-screen and windowed runs (and locked runs) "
                        "are Wayland clients, where the programs are built with the Wayland back end."},
    {"ORVO_BACKEND", "x11 or wayland: the display to use, whatever the other variables say."},
};

constexpr Item kVariables[] = {
    {"ORVO_CONFIG_DIR", "The folder of control.ini and registry.ini."},
    {"XDG_CONFIG_HOME", "Without ORVO_CONFIG_DIR, the folder is $XDG_CONFIG_HOME/orvo; without either, "
                        "~/.config/orvo (in HOME)."},
    {"DISPLAY", "The X display to run on."},
    {"ORVO_SCALE", "The pixel scale, 1 to 8: the saver sees the screen divided by it and each of its "
                   "pixels shows as a square of that side. Unset: the desktop's Xft.dpi setting, or the "
                   "screen's size, divided by 96 and rounded, at least 1."},
    {"XSCREENSAVER_WINDOW", "The window to draw into with --root (0x... or decimal), as a screen-saver "
                            "manager sets it."},
    {"XSS_SLEEP_LOCK_FD", "A descriptor an idle manager holds off suspending with (xss-lock "
                          "--transfer-sleep-lock): a locked run closes it as soon as the screen is locked."},
    {"ORVO_DISPLAY_BITS", "4, 8, 16, 24 or 32: the colour depth the emulated display reports (only 8 "
                          "animates)."},
};

constexpr Item kExitStatus[] = {
    {"0", "A run that ended (by input, or SIGTERM, SIGINT or SIGHUP), Cancel in the setup dialog, /a, "
          "--help and --version. A locked run: unlocked with the right password, or ended by SIGTERM "
          "while locked (on Wayland with ext-session-lock the session then stays locked: the compositor "
          "keeps it); with --detach, the screen is locked and the lock goes on by itself."},
    {"1", "OK in the setup dialog; or a mode that shows something could not open the display, or lost "
          "its connection to it (one line on standard error)."},
    {"2", "A locked run could not lock: another program held the keyboard or the pointer for 5 seconds, "
          "the keyboard has keys that break grabs (keyboard option grab:break_actions), /s started with "
          "the pointer in the hot corner, SIGTERM came before the screen was locked, or on Wayland the "
          "compositor offers no way to lock or refused the lock. One line on standard error says why, and "
          "nothing stays covered."},
    {"3", "A locked run found another lock of these savers holding the screen."},
    {"255", "An unknown switch, a preview whose window handle reads as 0, a malformed setting option "
            "(one line naming it), a window to draw into that does not exist (one line naming it), or a "
            "run stopped by an unexpected fault. The command line is read before the display is opened."},
};

constexpr const char* kSecurity[] = {
    "A locked run (/s with password protection on, or --lock) is two processes: the one started, which "
    "guards the screen, and the saver's animation in a child process that draws in its window and sees no "
    "input. The guardian takes the keyboard and pointer grabs before anything looks locked, covers the "
    "screen, and checks the password with PAM (service orvo-saver). Only the guardian unlocks, and only "
    "when PAM accepts the password.",
    "What it protects against: someone at the keyboard and mouse of an unattended X session reading or "
    "typing into other windows, and faults of the savers: a crash or kill of the animation does not open "
    "the screen (the guardian keeps the cover and the grabs, starts the animation again up to three times "
    "a minute and shows black after that). A window that another program unmaps or raises above the lock "
    "is put back at once. While locked, the guardian ignores every catchable signal that would end or "
    "stop it but SIGTERM (a closed terminal, Ctrl+C, Ctrl+\\, Ctrl+Z); it cannot be traced or dump core, "
    "keeps what is typed in locked memory, wipes it as soon as PAM has it, and never passes it to the "
    "animation.",
    "Grab-breaking keys (keyboard option grab:break_actions) are refused: with them in the keymap a "
    "locked run does not start (status 2); set while locked, the guardian switches them off on the X "
    "server and stays locked. If the animation hangs, the guardian opens the prompt itself; PAM runs in "
    "a helper process that Escape or 30 seconds abandon, so a hanging PAM module costs one attempt.",
    "What it does not protect against: root, and anyone who can run programs as the same user (they can "
    "SIGTERM or SIGKILL the guardian, or connect to the X display and read the screen, change the keymap "
    "or close the guardian's connection, which ends the run with 1 and takes the cover away); the X "
    "server ending or restarting; other virtual terminals (Ctrl+Alt+F1 and the like); and a press of "
    "grab-breaking keys in the moment between a keymap change that adds them and the guardian switching "
    "them off.",
    "On Wayland the guardian is the only process connected to the compositor. With ext-session-lock "
    "the compositor keeps the session locked even if the guardian is killed; with the older input "
    "inhibitor (sway 1.7) a killed guardian opens the session. A compositor with neither is refused.",
    "Under a screen-saver manager (--root, --window-id) the manager locks the screen; the program only "
    "draws.",
};

void ManPage(const Entry& e, const std::string& libexec) {
  const auto& t = *e.module->settings;
  const std::string name = e.module->program;
  std::printf(".TH %s 6 \"\" \"Orvo savers\" \"Screen savers\"\n", Upper(name).c_str());
  std::printf(".SH NAME\n%s \\- %s\n", name.c_str(), Roff(e.summary).c_str());
  std::printf(".SH SYNOPSIS\n.B %s\n[\\fB/s\\fR | \\fB/c\\fR | \\fB/p\\fR \\fIID\\fR | \\fB/l\\fR \\fIID\\fR | "
              "\\fB/a\\fR [\\fIID\\fR] | \\fB\\-\\-root\\fR | \\fB\\-\\-window\\-id\\fR \\fIID\\fR | "
              "\\fB\\-\\-window\\fR | \\fB\\-\\-lock\\fR | \\fB\\-\\-help\\fR | \\fB\\-\\-version\\fR] "
              "[\\fB\\-\\-detach\\fR] [\\fB\\-\\-\\fR\\fISETTING VALUE\\fR]...\n", name.c_str());
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
  std::printf(".PP\nThe setup dialog is captioned \"%s\".\n.PP\nSettings for one run, with any mode and "
              "anywhere on the line (\\fB\\-\\-\\fR\\fINAME VALUE\\fR or \\fB\\-\\-\\fR\\fINAME\\fB=\\fIVALUE\\fR):\n",
              Roff(t.dialog_caption).c_str());
  for (const orvo::shell::SettingOptionHelp& row : orvo::shell::SettingOptions(t)) {
    OptionItem({row.forms.c_str(), row.description.c_str()});
  }
  std::printf(".PP\n%s\n", Roff(orvo::shell::SettingOptionsNote()).c_str());
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
  std::printf(".SH EXIT STATUS\n");
  Items(kExitStatus, std::size(kExitStatus));
  std::printf(".SH ENVIRONMENT\n");
  Items(kVariables, std::size(kVariables));
  Items(kWaylandVariables, std::size(kWaylandVariables));
  std::printf(".SH FILES\n.TP\n\\fI$ORVO_CONFIG_DIR/control.ini\\fR\nSettings and presets; the "
              "folder is \\fB$ORVO_CONFIG_DIR\\fR, else \\fB$XDG_CONFIG_HOME/orvo\\fR, else "
              "\\fI~/.config/orvo\\fR.\n"
              ".TP\n\\fIregistry.ini\\fR\nIn the same folder: \\fBScreenSaveUsePassword=1\\fR in section "
              "[HKEY_CURRENT_USER\\eControl Panel\\eDesktop] turns password protection on.\n"
              ".TP\n\\fI/etc/pam.d/orvo\\-saver\\fR\nThe PAM service that checks and changes the password.\n"
              ".TP\n\\fI%s/%s\\fR\nThe program.\n", Roff(libexec).c_str(), name.c_str());
  std::printf(".SH SECURITY\n");
  for (std::size_t i = 0; i < std::size(kSecurity); ++i) {
    std::printf("%s%s\n", i == 0 ? "" : ".PP\n", Roff(kSecurity[i]).c_str());
  }
  std::printf(".SH SEE ALSO\n");
  for (const Entry& other : orvo::catalog::Savers()) {
    if (&other != &e) std::printf(".BR %s (6),\n", other.module->program);
  }
  std::printf(".BR orvo\\-render (1),\n.BR orvo\\-xscreensaver\\-setup (1),\n.BR xscreensaver (1),\n"
              ".BR xscreensaver\\-settings (1),\n.BR xss\\-lock (1)\n");
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

// The settings program's page of a saver: the five rows as sliders, the
// effect as a choice and "Shifted" as a check box, each mapped to the
// program's option. A control left at its default adds nothing to the
// command, so the stored setting applies.
void ManagerDescription(const Entry& e, const std::string& libexec) {
  const orvo::settings::SaverSettings& t = *e.module->settings;
  std::printf("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<screensaver name=\"%s\" _label=\"%s\">\n"
              "  <command arg=\"--root\"/>\n",
              e.module->program, Xml(e.module->display_name).c_str());
  for (const orvo::settings::Row& row : t.rows) {
    const std::string name = orvo::settings::OptionName(row);
    std::string label = row.label;
    while (!label.empty() && label.back() == ' ') label.pop_back();
    if (row.min == 0 && row.max == 1) {
      // The settings program takes a slider from 0 to 1 for a fraction: a
      // row of two values is a check box.
      std::printf("  <boolean id=\"%s\" _label=\"%s\" %s=\"--%s %d\"/>\n", name.c_str(), Xml(label).c_str(),
                  row.default_value == 0 ? "arg-set" : "arg-unset", name.c_str(), row.default_value == 0 ? 1 : 0);
      continue;
    }
    std::printf("  <number id=\"%s\" type=\"slider\" arg=\"--%s %%\" _label=\"%s\"\n"
                "          _low-label=\"%d\" _high-label=\"%d\" low=\"%d\" high=\"%d\" default=\"%d\"/>\n",
                name.c_str(), name.c_str(), Xml(label).c_str(), row.min, row.max, row.min, row.max,
                row.default_value);
  }
  std::printf("  <select id=\"%s\">\n", orvo::settings::kEffectOption);
  for (int effect = 0; effect < 5; ++effect) {
    std::string arg;
    if (effect != t.effect_default) {
      arg = std::string(" arg-set=\"--") + orvo::settings::kEffectOption + " " + orvo::settings::kEffectNames[effect] +
            "\"";
    }
    std::printf("    <option id=\"%s\" _label=\"Effect: %s\"%s/>\n", orvo::settings::kEffectNames[effect],
                orvo::settings::kEffectLabels[effect], arg.c_str());
  }
  std::printf("  </select>\n");
  if (t.shifted_default != 0) {
    std::printf("  <boolean id=\"shifted\" _label=\"Shifted\" arg-unset=\"--%s\"/>\n",
                orvo::settings::kNotShiftedOption);
  } else {
    std::printf("  <boolean id=\"shifted\" _label=\"Shifted\" arg-set=\"--%s\"/>\n",
                orvo::settings::kShiftedOption);
  }
  std::printf("  <_description>\n%s\n\nA setting changed here is given to the program as an option for "
              "its runs under xscreensaver; one left at its default keeps the setting stored in control.ini "
              "(run the program with /c to change those). Program: %s/%s.\n"
              "  </_description>\n</screensaver>\n",
              Xml(e.description).c_str(), Xml(libexec).c_str(), e.module->program);
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
