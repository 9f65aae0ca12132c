object Features: TForm
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
      Caption = 'Custom Setup'
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
      Caption = 'Select the program features you want installed.'
    end
  end
  object bvlTop: TBevel
    Left = 0
    Top = 58
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object tvFeatures: TTreeView
    Left = 16
    Top = 70
    Width = 250
    Height = 220
    ReadOnly = True
    TabOrder = 1
    Tag = 1
  end
  object grpDescription: TGroupBox
    Left = 276
    Top = 64
    Width = 205
    Height = 226
    Caption = ' Feature Description '
    TabOrder = 2
    object txtDescription: TStaticText
      Left = 10
      Top = 20
      Width = 185
      Height = 120
      Tag = 2
      AutoSize = False
      Caption = 'Select a feature to see its description.'
      TabOrder = 0
    end
    object txtSize: TStaticText
      Left = 10
      Top = 190
      Width = 185
      Height = 17
      Tag = 3
      Caption = ''
      TabOrder = 1
    end
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
    TabOrder = 3
    Tag = 2
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 4
    Tag = 1
    Default = True
  end
  object btnCancel: TButton
    Left = 408
    Top = 325
    Width = 75
    Height = 23
    Caption = 'Cancel'
    TabOrder = 5
    Tag = 3
  end
end
