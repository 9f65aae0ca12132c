object Ready: TForm
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
      Caption = 'Ready to Install'
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
      Caption = 'The wizard is ready to begin installation.'
    end
  end
  object bvlTop: TBevel
    Left = 0
    Top = 58
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object lblReady: TLabel
    Left = 24
    Top = 80
    Width = 450
    Height = 40
    Caption = 'Click Install to begin the installation. To review or change any of your installation settings, click Back.'
    WordWrap = True
  end
  object lblFolderCaption: TLabel
    Left = 24
    Top = 140
    Width = 120
    Height = 13
    Caption = 'Destination folder:'
  end
  object lblFolder: TLabel
    Left = 150
    Top = 140
    Width = 330
    Height = 13
    Caption = '$TARGETDIR$'
    Font.Charset = DEFAULT_CHARSET
    Font.Color = clWindowText
    Font.Height = -11
    Font.Name = 'MS Sans Serif'
    Font.Style = [fsBold]
    ParentFont = False
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
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Install'
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
