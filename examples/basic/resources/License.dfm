object License: TForm
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
      Caption = 'License Agreement'
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
      Caption = 'Please read the following license agreement carefully.'
    end
  end
  object bvlTop: TBevel
    Left = 0
    Top = 58
    Width = 497
    Height = 2
    Shape = bsTopLine
  end
  object memLicense: TMemo
    Left = 16
    Top = 70
    Width = 465
    Height = 190
    ReadOnly = True
    ScrollBars = ssVertical
    TabOrder = 1
    Tag = 2
    Lines.Strings = (
    'The license agreement is loaded from license.txt.')
  end
  object rbAccept: TRzRadioButton
    Left = 16
    Top = 270
    Width = 360
    Height = 17
    Caption = 'I &accept the terms in the license agreement'
    Hint = 'LICENSEACCEPTED'
    TabOrder = 2
  end
  object rbDecline: TRzRadioButton
    Left = 16
    Top = 290
    Width = 360
    Height = 17
    Caption = 'I &do not accept the terms in the license agreement'
    Checked = True
    Hint = 'LICENSEDECLINED'
    TabOrder = 3
    TabStop = True
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
    TabOrder = 4
    Tag = 2
  end
  object btnNext: TButton
    Left = 320
    Top = 325
    Width = 75
    Height = 23
    Caption = '&Next >'
    TabOrder = 5
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
    TabOrder = 6
    Tag = 3
  end
end
