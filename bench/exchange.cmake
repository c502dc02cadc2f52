# exchange benchmark is added here
