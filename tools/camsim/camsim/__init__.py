"""Simulated camera service: test peer and development tool."""
