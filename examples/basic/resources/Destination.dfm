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
      Caption = 'Click Next to install to this folder, or pick another one in the tree.'
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
    Top = 68
    Width = 300
    Height = 13
    Caption = 'Install $TITLE$ to:'
  end
  object edtTarget: TEdit
    Left = 16
    Top = 86
    Width = 372
    Height = 21
    Hint = 'TARGETDIR'
    TabOrder = 1
    Tag = 2
  end
  object btnBrowse: TButton
    Left = 396
    Top = 85
    Width = 85
    Height = 23
    Caption = '&Change...'
    TabOrder = 2
    Tag = 4
  end
  object tvFolders: TPTShellTree
    Left = 16
    Top = 116
    Width = 262
    Height = 154
    Tag = 1
    TabOrder = 3
  end
  object grpSpace: TGroupBox
    Left = 290
    Top = 116
    Width = 191
    Height = 100
    Caption = ' Disk space '
    TabOrder = 4
    object lblRequired: TLabel
      Left = 10
      Top = 18
      Width = 170
      Height = 13
      Caption = 'Space required:'
    end
    object txtRequired: TStaticText
      Left = 10
      Top = 34
      Width = 170
      Height = 17
      Tag = 4
      Caption = '0 bytes'
      TabOrder = 0
    end
    object lblAvailable: TLabel
      Left = 10
      Top = 56
      Width = 170
      Height = 13
      Caption = 'Space available:'
    end
    object txtAvailable: TStaticText
      Left = 10
      Top = 72
      Width = 170
      Height = 17
      Tag = 5
      Caption = '0 bytes'
      TabOrder = 1
    end
  end
  object chkCustom: TRzCheckBox
    Left = 16
    Top = 282
    Width = 400
    Height = 17
    Caption = 'C&hoose the features to install'
    Hint = 'CUSTOMSETUP'
    TabOrder = 5
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
    TabOrder = 6
    Tag = 2
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 7
    Tag = 1
    Default = True
  end
  object btnCancel: TButton
    Left = 408
    Top = 325
    Width = 75
    Height = 23
    Caption = 'Cancel'
    TabOrder = 8
    Tag = 3
  end
end
