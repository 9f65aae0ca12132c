object Destination: TForm
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
      Caption = 'Destination Folder'
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
      Caption = 'Click Next to install to this folder, or Change to choose another one.'
    end
  end
  object bvlTop: TBevel
    Left = 0
    Top = 58
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object lblInstallTo: TLabel
    Left = 16
    Top = 76
    Width = 300
    Height = 13
    Caption = 'Install $TITLE$ to:'
  end
  object edtTarget: TEdit
    Left = 16
    Top = 96
    Width = 372
    Height = 21
    Hint = 'TARGETDIR'
    TabOrder = 1
    Tag = 2
  end
  object btnBrowse: TButton
    Left = 396
    Top = 95
    Width = 85
    Height = 23
    Caption = '&Change...'
    TabOrder = 2
    Tag = 4
  end
  object chkCustom: TRzCheckBox
    Left = 16
    Top = 236
    Width = 400
    Height = 17
    Caption = 'C&hoose the features to install'
    Hint = 'CUSTOMSETUP'
    TabOrder = 4
  end
  object grpSpace: TGroupBox
    Left = 16
    Top = 136
    Width = 465
    Height = 86
    Caption = ' Disk space '
    TabOrder = 3
    object lblRequired: TLabel
      Left = 12
      Top = 22
      Width = 120
      Height = 13
      Caption = 'Space required:'
    end
    object txtRequired: TStaticText
      Left = 150
      Top = 22
      Width = 200
      Height = 17
      Tag = 4
      Caption = '0 bytes'
      TabOrder = 0
    end
    object lblAvailable: TLabel
      Left = 12
      Top = 42
      Width = 120
      Height = 13
      Caption = 'Space available:'
    end
    object txtAvailable: TStaticText
      Left = 150
      Top = 42
      Width = 200
      Height = 17
      Tag = 5
      Caption = '0 bytes'
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
    TabOrder = 5
    Tag = 2
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 6
    Tag = 1
    Default = True
  end
  object btnCancel: TButton
    Left = 408
    Top = 325
    Width = 75
    Height = 23
    Caption = 'Cancel'
    TabOrder = 7
    Tag = 3
  end
end
