#!/usr/bin/env python3
"""Writes the example project's wizard dialogs (text form files) into
examples/basic/resources. The pages share one frame: a white banner with the
page's title, a line, the page's own controls, a line and the Back / Next /
Cancel buttons, so they can be kept alike by editing this file."""
import os
import sys

OUT = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "examples", "basic", "resources")
W, H = 497, 358


def q(text):
    return "'" + text.replace("'", "''") + "'"


def obj(name, cls, props, children=(), indent=1):
    pad = "  " * indent
    lines = [f"{pad}object {name}: {cls}"]
    for key, value in props:
        lines.append(f"{pad}  {key} = {value}")
    for child in children:
        lines.append(child)
    lines.append(f"{pad}end")
    return "\n".join(lines)


def label(name, left, top, width, height, caption, bold=False, size=-11, wrap=False, indent=1, color=None, hint=None, tag=None):
    props = [("Left", left), ("Top", top), ("Width", width), ("Height", height), ("Caption", q(caption))]
    if bold or size != -11 or color:
        props += [("Font.Charset", "DEFAULT_CHARSET"), ("Font.Color", color or "clWindowText"),
                  ("Font.Height", size), ("Font.Name", q("MS Sans Serif")),
                  ("Font.Style", "[fsBold]" if bold else "[]"), ("ParentFont", "False")]
    if wrap:
        props.append(("WordWrap", "True"))
    if hint:
        props.append(("Hint", q(hint)))
    if tag is not None:
        props.append(("Tag", tag))
    return obj(name, "TLabel", props, indent=indent)


def button(name, left, caption, tag, order, default=False, enabled=True):
    props = [("Left", left), ("Top", H - 33), ("Width", 75), ("Height", 23), ("Caption", q(caption)),
             ("TabOrder", order), ("Tag", tag)]
    if default:
        props.append(("Default", "True"))
    if not enabled:
        props.append(("Enabled", "False"))
    return obj(name, "TButton", props)


def banner(title, subtitle):
    return obj("pnlBanner", "TPanel", [
        ("Left", 0), ("Top", 0), ("Width", W), ("Height", 58), ("Align", "alTop"),
        ("BevelOuter", "bvNone"), ("Color", "clWhite"), ("TabOrder", 0)], [
        label("lblTitle", 16, 10, 400, 13, title, bold=True, indent=2),
        label("lblSubtitle", 28, 30, 420, 13, subtitle, indent=2),
    ])


def line(name, top):
    return obj(name, "TBevel", [("Left", 0), ("Top", top), ("Width", W), ("Height", 2), ("Shape", "bsTopLine")])


def buttons(first_order, back=True, next_caption="&Next >", cancel=True, next_enabled=True):
    parts = []
    parts.append(button("btnBack", 244, "< &Back", 2, first_order, enabled=back))
    parts.append(button("btnNext", 320, next_caption, 1, first_order + 1, default=True, enabled=next_enabled))
    parts.append(button("btnCancel", 408, "Cancel", 3, first_order + 2, enabled=cancel))
    return parts


def form(name, caption, children):
    head = [f"object {name}: TForm", f"  Left = 300", f"  Top = 200", "  BorderIcons = [biSystemMenu, biMinimize]",
            "  BorderStyle = bsDialog", f"  Caption = {q(caption)}", f"  ClientHeight = {H}", f"  ClientWidth = {W}",
            "  Color = clBtnFace", "  Font.Charset = DEFAULT_CHARSET", "  Font.Color = clWindowText",
            "  Font.Height = -11", "  Font.Name = 'MS Sans Serif'", "  Font.Style = []", "  OldCreateOrder = False",
            "  Position = poScreenCenter", "  PixelsPerInch = 96", "  TextHeight = 13"]
    return "\n".join(head + list(children) + ["end", ""])


def side_panel():
    return obj("pnlSide", "TPanel", [
        ("Left", 0), ("Top", 0), ("Width", 164), ("Height", H - 46), ("Align", "alNone"),
        ("BevelOuter", "bvNone"), ("Color", "$00804000"), ("TabOrder", 0)], [
        label("lblBrand", 16, 20, 140, 24, "Quillon", bold=True, size=-20, indent=2, color="clWhite"),
        label("lblBrand2", 16, 50, 140, 13, "Setup Wizard", indent=2, color="clWhite"),
    ])


def welcome():
    return form("Welcome", "$TITLE$ Setup", [
        side_panel(),
        label("lblWelcome", 180, 20, 300, 40, "Welcome to the $TITLE$ Setup Wizard", bold=True, size=-16, wrap=True),
        label("lblIntro", 180, 72, 300, 60,
              "The Setup Wizard will install $TITLE$ on your computer. Click Next to continue or Cancel to exit the Setup Wizard.",
              wrap=True),
        line("bvlBottom", H - 46),
    ] + buttons(1, back=False))


def licence():
    return form("License", "$TITLE$ Setup", [
        banner("License Agreement", "Please read the following license agreement carefully."),
        line("bvlTop", 58),
        obj("memLicense", "TMemo", [("Left", 16), ("Top", 70), ("Width", 465), ("Height", 190), ("ReadOnly", "True"),
                                    ("ScrollBars", "ssVertical"), ("TabOrder", 1), ("Tag", 2),
                                    ("Lines.Strings", "(\n    'The license agreement is loaded from license.txt.')")]),
        obj("rbAccept", "TRzRadioButton", [("Left", 16), ("Top", 270), ("Width", 360), ("Height", 17),
                                          ("Caption", q("I &accept the terms in the license agreement")),
                                          ("Hint", q("LICENSEACCEPTED")), ("TabOrder", 2)]),
        obj("rbDecline", "TRzRadioButton", [("Left", 16), ("Top", 290), ("Width", 360), ("Height", 17),
                                           ("Caption", q("I &do not accept the terms in the license agreement")),
                                           ("Checked", "True"), ("Hint", q("LICENSEDECLINED")), ("TabOrder", 3),
                                           ("TabStop", "True")]),
        line("bvlBottom", H - 46),
    ] + buttons(4, next_enabled=False))


def destination():
    return form("Destination", "$TITLE$ Setup", [
        banner("Destination Folder", "Click Next to install to this folder, or pick another one in the tree."),
        line("bvlTop", 58),
        label("lblInstallTo", 16, 68, 300, 13, "Install $TITLE$ to:"),
        obj("edtTarget", "TEdit", [("Left", 16), ("Top", 86), ("Width", 372), ("Height", 21), ("Hint", q("TARGETDIR")),
                                   ("TabOrder", 1), ("Tag", 2)]),
        obj("btnBrowse", "TButton", [("Left", 396), ("Top", 85), ("Width", 85), ("Height", 23), ("Caption", q("&Change...")),
                                     ("TabOrder", 2), ("Tag", 4)]),
        # Tag 1: the tree starts at the destination's nearest existing folder, and
        # a folder picked in it becomes the destination (the edit above shows it).
        obj("tvFolders", "TPTShellTree", [("Left", 16), ("Top", 116), ("Width", 262), ("Height", 154), ("Tag", 1),
                                          ("TabOrder", 3)]),
        obj("grpSpace", "TGroupBox", [("Left", 290), ("Top", 116), ("Width", 191), ("Height", 100),
                                      ("Caption", q(" Disk space ")), ("TabOrder", 4)], [
            label("lblRequired", 10, 18, 170, 13, "Space required:", indent=2),
            obj("txtRequired", "TStaticText", [("Left", 10), ("Top", 34), ("Width", 170), ("Height", 17), ("Tag", 4),
                                               ("Caption", q("0 bytes")), ("TabOrder", 0)], indent=2),
            label("lblAvailable", 10, 56, 170, 13, "Space available:", indent=2),
            obj("txtAvailable", "TStaticText", [("Left", 10), ("Top", 72), ("Width", 170), ("Height", 17), ("Tag", 5),
                                                ("Caption", q("0 bytes")), ("TabOrder", 1)], indent=2),
        ]),
        obj("chkCustom", "TRzCheckBox", [("Left", 16), ("Top", 282), ("Width", 400), ("Height", 17),
                                         ("Caption", q("C&hoose the features to install")),
                                         ("Hint", q("CUSTOMSETUP")), ("TabOrder", 5)]),
        line("bvlBottom", H - 46),
    ] + buttons(6))


def features():
    return form("Features", "$TITLE$ Setup", [
        banner("Custom Setup", "Select the program features you want installed."),
        line("bvlTop", 58),
        obj("tvFeatures", "TTreeView", [("Left", 16), ("Top", 70), ("Width", 250), ("Height", 220), ("ReadOnly", "True"),
                                        ("TabOrder", 1), ("Tag", 1)]),
        obj("grpDescription", "TGroupBox", [("Left", 276), ("Top", 64), ("Width", 205), ("Height", 226),
                                            ("Caption", q(" Feature Description ")), ("TabOrder", 2)], [
            obj("txtDescription", "TStaticText", [("Left", 10), ("Top", 20), ("Width", 185), ("Height", 120), ("Tag", 2),
                                                  ("AutoSize", "False"), ("Caption", q("Select a feature to see its description.")),
                                                  ("TabOrder", 0)], indent=2),
            obj("txtSize", "TStaticText", [("Left", 10), ("Top", 190), ("Width", 185), ("Height", 17), ("Tag", 3),
                                           ("Caption", q("")), ("TabOrder", 1)], indent=2),
        ]),
        line("bvlBottom", H - 46),
    ] + buttons(3))


def ready():
    return form("Ready", "$TITLE$ Setup", [
        banner("Ready to Install", "The wizard is ready to begin installation."),
        line("bvlTop", 58),
        label("lblReady", 24, 80, 450, 40,
              "Click Install to begin the installation. To review or change any of your installation settings, click Back.",
              wrap=True),
        label("lblFolderCaption", 24, 140, 120, 13, "Destination folder:"),
        label("lblFolder", 150, 140, 330, 13, "$TARGETDIR$", bold=True),
        line("bvlBottom", H - 46),
    ] + buttons(1, next_caption="&Install"))


def progress():
    return form("Progress", "$TITLE$ Setup", [
        banner("Installing $TITLE$", "Please wait while the Setup Wizard installs $TITLE$."),
        line("bvlTop", 58),
        label("lblStatusCaption", 24, 90, 80, 13, "Status:"),
        obj("txtStatus", "TStaticText", [("Left", 24), ("Top", 110), ("Width", 450), ("Height", 17), ("Tag", 1),
                                         ("AutoSize", "False"), ("Caption", q("Preparing...")), ("TabOrder", 0)]),
        obj("pbProgress", "TProgressBar", [("Left", 24), ("Top", 134), ("Width", 450), ("Height", 17), ("Tag", 1),
                                           ("Position", 35), ("Smooth", "True"), ("TabOrder", 1)]),
        line("bvlBottom", H - 46),
    ] + buttons(2, back=False, next_enabled=False))


def finish():
    return form("Finish", "$TITLE$ Setup", [
        side_panel(),
        label("lblDone", 180, 20, 300, 40, "Completing the $TITLE$ Setup Wizard", bold=True, size=-16, wrap=True),
        label("lblDoneText", 180, 72, 300, 40, "Click Finish to exit the Setup Wizard.", wrap=True),
        obj("chkLaunch", "TRzCheckBox", [("Left", 180), ("Top", 130), ("Width", 280), ("Height", 17),
                                         ("Caption", q("&Show the readme file")), ("Checked", "True"),
                                         ("Hint", q("SHOWREADME")), ("TabOrder", 1)]),
        line("bvlBottom", H - 46),
    ] + buttons(2, back=False, next_caption="&Finish", cancel=False))


PAGES = {"Welcome": welcome, "License": licence, "Destination": destination, "Features": features,
         "Ready": ready, "Progress": progress, "Finish": finish}

# The rules of each page: Next on the licence page follows the accept button.
RULES = {
    "License": ["IF (rbAccept.Checked = True)  THEN  btnNext.Enabled := True;",
                "IF (rbAccept.Checked = False)  THEN  btnNext.Enabled := False;"],
}

if __name__ == "__main__":
    for name, make in PAGES.items():
        with open(os.path.join(OUT, name + ".dfm"), "w", newline="\r\n") as f:
            f.write(make())
        with open(os.path.join(OUT, name + ".dfm.qvof"), "w", newline="\r\n") as f:
            f.write("".join(rule + "\n" for rule in RULES.get(name, [])))
    print("wrote", len(PAGES), "dialogs to", os.path.normpath(OUT), file=sys.stderr)
