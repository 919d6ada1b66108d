module kite.modular {
}
