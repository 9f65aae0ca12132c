object Welcome: TForm
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
  object pnlSide: TPanel
    Left = 0
    Top = 0
    Width = 164
    Height = 312
    Align = alNone
    BevelOuter = bvNone
    Color = $00804000
    TabOrder = 0
    object lblBrand: TLabel
      Left = 16
      Top = 20
      Width = 140
      Height = 24
      Caption = 'Quillon'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWhite
      Font.Height = -20
      Font.Name = 'MS Sans Serif'
      Font.Style = [fsBold]
      ParentFont = False
    end
    object lblBrand2: TLabel
      Left = 16
      Top = 50
      Width = 140
      Height = 13
      Caption = 'Setup Wizard'
      Font.Charset = DEFAULT_CHARSET
      Font.Color = clWhite
      Font.Height = -11
      Font.Name = 'MS Sans Serif'
      Font.Style = []
      ParentFont = False
    end
  end
  object lblWelcome: TLabel
    Left = 180
    Top = 20
    Width = 300
    Height = 40
    Caption = 'Welcome to the $TITLE$ Setup Wizard'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -16
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    ParentFont = False
    WordWrap = True
  end
  object lblIntro: TLabel
    Left = 180
    Top = 72
    Width = 300
    Height = 60
    Caption = 'The Setup Wizard will install $TITLE$ on your computer. Click Next to continue or Cancel to exit the Setup Wizard.'
    WordWrap = True
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
    TabOrder = 1
    Tag = 2
    Enabled = False
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 2
    Tag = 1
    Default = True
  end
  object btnCancel: TButton
    Left = 408
    Top = 325
    Width = 75
    Height = 23
    Caption = 'Cancel'
    TabOrder = 3
    Tag = 3
  end
end
