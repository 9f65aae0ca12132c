object Progress: TForm
  Left = 300
  Top = 200
  BorderIcons = [biSystemMenu, biMinimize]
  BorderStyle = bsDialog
  Caption = '$TITLE$ Setup'
  ClientHeight = 358
  ClientWidth = 497
  Color = clBtnFace
  Font.Charset = DEFAULT_CHARSET
  Font.Color = clWindowText
  Font.Height = -11
  Font.Name = 'MS Sans Serif'
  Font.Style = []
  OldCreateOrder = False
  Position = poScreenCenter
  PixelsPerInch = 96
  TextHeight = 13
  object pnlBanner: TPanel
    Left = 0
    Top = 0
    Width = 497
    Height = 58
    Align = alTop
    BevelOuter = bvNone
    Color = clWhite
    TabOrder = 0
    object lblTitle: TLabel
      Left = 16
      Top = 10
      Width = 400
      Height = 13
      Caption = 'Installing $TITLE$'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWindowText
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object lblSubtitle: TLabel
      Left = 28
      Top = 30
      Width = 420
      Height = 13
      Caption = 'Please wait while the Setup Wizard installs $TITLE$.'
    end
  end
  object bvlTop: TBevel
    Left = 0
    Top = 58
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object lblStatusCaption: TLabel
    Left = 24
    Top = 90
    Width = 80
    Height = 13
    Caption = 'Status:'
  end
  object txtStatus: TStaticText
    Left = 24
    Top = 110
    Width = 450
    Height = 17
    Tag = 1
    AutoSize = False
    Caption = 'Preparing...'
    TabOrder = 0
  end
  object pbProgress: TProgressBar
    Left = 24
    Top = 134
    Width = 450
    Height = 17
    Tag = 1
    Position = 35
    Smooth = True
    TabOrder = 1
  end
  object bvlBottom: TBevel
    Left = 0
    Top = 312
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object btnBack: TButton
    Left = 244
    Top = 325
    Width = 75
    Height = 23
    Caption = '< &Back'
    TabOrder = 2
    Tag = 2
    Enabled = False
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 3
    Tag = 1
    Default = True
    Enabled = False
  end
  object btnCancel: TButton
    Left = 408
    Top = 325
    Width = 75
    Height = 23
    Caption = 'Cancel'
    TabOrder = 4
    Tag = 3
  end
end
